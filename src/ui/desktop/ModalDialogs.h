#pragma once

// A modal dialog (a file dialog, a message or input box) blocks every other
// window of the program while it is open: minimised, it would leave nothing
// on the screen that takes a click, and the program would look frozen.
// From this call on, a modal dialog that gets minimised (by the window
// manager, whatever asked it) is shown again at once. Called once, when the
// application object exists.
void KeepModalDialogsOnScreen();
