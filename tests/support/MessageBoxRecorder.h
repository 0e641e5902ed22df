// Records the message boxes shown through AfxMessageBox in this module, instead of showing them,
// for the life of the object: each box's text, the owner AfxMessageBox chose for it and whether
// that owner took input while the box was "open".
#pragma once

#include <string>
#include <vector>

#include "AfxMessageBox.h"

struct RECORDED_BOX
{
    std::string text;
    HWND owner;
    bool ownerEnabled;
};

class CMessageBoxRecorder
{
public:
    explicit CMessageBoxRecorder(int answer = IDOK);
    ~CMessageBoxRecorder();

    static const std::vector<std::string>& Texts();
    // A copy taken under the recorder's lock, for boxes that other threads may be showing.
    static std::vector<std::string> TextsNow();
    // Every box with its owner, taken under the lock.
    static std::vector<RECORDED_BOX> BoxesNow();
    static void ClearTexts();
    // Boxes whose text begins with `textStart` get `answer` instead of the recorder's own,
    // until the next recorder is made.
    static void SetAnswerFor(const std::string& textStart, int answer);
    // What the boxes that no such rule covers answer from now on.
    static void SetAnswer(int answer);

private:
    AfxMessageBoxHandler m_previous;
};
