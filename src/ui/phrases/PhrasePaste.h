#pragma once

#include <QString>

class Settings;

// Pasting a copied phrase into the chat window ([phrases] PasteAfterCopy).

// Why pasting cannot work on this display; empty when it can.
QString PasteUnavailableReason();
// Follows the active window while the setting is on and pasting can work,
// and stops otherwise. Called at start-up and whenever the setting changes.
void FollowActiveWindow(const Settings& settings);
// After a phrase was copied (and the phrase window hidden): when the setting
// is on, activates the last window outside the program that was active and,
// once it holds the keyboard focus, presses Ctrl+V in it. Without such a
// window, or when it is gone, the phrase just stays on the clipboard.
void PasteCopiedPhrase(const Settings& settings);
