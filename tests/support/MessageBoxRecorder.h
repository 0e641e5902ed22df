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
    static void ClearTexts();
    // What the recorded boxes answer from now on.
    static void SetAnswer(int answer);

private:
    AfxMessageBoxHandler m_previous;
};
