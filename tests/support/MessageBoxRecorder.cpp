#include "MessageBoxRecorder.h"

#include <mutex>

namespace {

std::mutex g_mutex;
std::vector<std::string> g_texts;
std::vector<RECORDED_BOX> g_boxes;
int g_answer = IDOK;
std::vector<std::pair<std::string, int>> g_answersByText;

int RecordMessageBox(HWND owner, const char* text, const char*, UINT)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_texts.push_back(text);
    g_boxes.push_back({ text, owner, owner && ::IsWindowEnabled(owner) });
    for (const auto& rule : g_answersByText) {
        if (std::string(text).compare(0, rule.first.size(), rule.first) == 0)
            return rule.second;
    }
    return g_answer;
}

} // namespace

CMessageBoxRecorder::CMessageBoxRecorder(int answer)
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_answer = answer;
        g_answersByText.clear();
    }
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

void CMessageBoxRecorder::SetAnswerFor(const std::string& textStart, int answer)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_answersByText.emplace_back(textStart, answer);
}

void CMessageBoxRecorder::SetAnswer(int answer)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_answer = answer;
}

std::vector<std::string> CMessageBoxRecorder::TextsNow()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_texts;
}

std::vector<RECORDED_BOX> CMessageBoxRecorder::BoxesNow()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_boxes;
}

void CMessageBoxRecorder::ClearTexts()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_texts.clear();
    g_boxes.clear();
}
