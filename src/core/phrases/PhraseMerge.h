#pragma once

#include <QStringList>

// Merging two copies of the phrase list changed apart since `base`: a phrase
// added on either side is kept once, a phrase removed on one side is removed,
// this side's order first and the other side's additions after it, in its
// order. Phrases may repeat; each copy counts.
QStringList MergePhrases(const QStringList& base, const QStringList& mine,
                         const QStringList& theirs);
