#pragma once

#include <QIcon>

// The four toolbar pictures, drawn in code: a person with a plus sign, an
// address book, a speech bubble and a question mark.
QIcon ToolbarIcon(int index);
