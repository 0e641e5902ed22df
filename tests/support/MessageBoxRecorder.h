// Records the texts of message boxes shown through AfxMessageBox in this module, instead of
// showing them, for the life of the object.
#pragma once

#include <string>
#include <vector>

#include "AfxMessageBox.h"

class CMessageBoxRecorder
{
public:
    explicit CMessageBoxRecorder(int answer = IDOK);
    ~CMessageBoxRecorder();

    static const std::vector<std::string>& Texts();
    // A copy taken under the recorder's lock, for boxes that other threads may be showing.
    static std::vector<std::string> TextsNow();
    static void ClearTexts();
    // Boxes whose text begins with `textStart` get `answer` instead of the recorder's own,
    // until the next recorder is made.
    static void SetAnswerFor(const std::string& textStart, int answer);

private:
    AfxMessageBoxHandler m_previous;
};
