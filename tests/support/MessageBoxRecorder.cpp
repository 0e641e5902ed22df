#include "MessageBoxRecorder.h"

#include <mutex>

namespace {

std::mutex g_mutex;
std::vector<std::string> g_texts;
int g_answer = IDOK;

int RecordMessageBox(HWND, const char* text, const char*, UINT)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_texts.push_back(text);
    return g_answer;
}

} // namespace

CMessageBoxRecorder::CMessageBoxRecorder(int answer)
{
    g_answer = answer;
    ClearTexts();
    m_previous = AfxSetMessageBoxHandler(&RecordMessageBox);
}

CMessageBoxRecorder::~CMessageBoxRecorder()
{
    AfxSetMessageBoxHandler(m_previous);
}

const std::vector<std::string>& CMessageBoxRecorder::Texts()
{
    return g_texts;
}

void CMessageBoxRecorder::SetAnswer(int answer)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_answer = answer;
}

void CMessageBoxRecorder::ClearTexts()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_texts.clear();
}
