#pragma once

#include "core/files/ListFiles.h"

class QListWidget;

// A list box filled from a list file, and saved back to one. The rules are
// those of LoadListFile and SaveListFile; what they say went wrong is shown
// to the user.
ListLoad LoadFileToListBox(QListWidget& list, const QString& fileName);
bool SaveListboxToFile(const QListWidget& list, const QString& fileName);
