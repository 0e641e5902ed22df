#include "RealInput.h"

#include <vector>

namespace {

INPUT KeyInput(WORD key, bool up)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyA(key, 0));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

// Absolute pointer coordinates run from 0 to 65535 over the primary screen.
INPUT MouseInput(POINT screen, DWORD flags)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    input.mi.dx = MulDiv(screen.x, 65535, width > 1 ? width - 1 : 1);
    input.mi.dy = MulDiv(screen.y, 65535, height > 1 ? height - 1 : 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    return input;
}

bool Send(std::vector<INPUT>& inputs)
{
    return ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

} // namespace

bool PressKey(WORD key, bool shift)
{
    std::vector<INPUT> inputs;
    if (shift)
        inputs.push_back(KeyInput(VK_SHIFT, false));
    inputs.push_back(KeyInput(key, false));
    inputs.push_back(KeyInput(key, true));
    if (shift)
        inputs.push_back(KeyInput(VK_SHIFT, true));
    return Send(inputs);
}

bool PressKeyWithAlt(WORD key)
{
    std::vector<INPUT> inputs = { KeyInput(VK_MENU, false), KeyInput(key, false), KeyInput(key, true),
                                  KeyInput(VK_MENU, true) };
    return Send(inputs);
}

bool PressKeys(std::initializer_list<WORD> keys)
{
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        inputs.push_back(KeyInput(key, false));
        inputs.push_back(KeyInput(key, true));
    }
    return Send(inputs);
}

bool MovePointerTo(POINT screen)
{
    std::vector<INPUT> inputs = { MouseInput(screen, MOUSEEVENTF_MOVE) };
    return Send(inputs);
}

bool RightClickAt(POINT screen)
{
    std::vector<INPUT> inputs = { MouseInput(screen, MOUSEEVENTF_MOVE), MouseInput(screen, MOUSEEVENTF_RIGHTDOWN),
                                  MouseInput(screen, MOUSEEVENTF_RIGHTUP) };
    return Send(inputs);
}

POINT CentreOf(HWND window)
{
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    return POINT{ (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2 };
}
