#pragma once

#include "core/contacts/ContactRecord.h"

#include <array>
#include <cstddef>

// The address-book card, described once: each of its twelve boxes with the
// record field behind it, its label, where both lie (twips), its font, whether
// it is a stat field and how a click on its label changes it. The card's
// construction, the transfer between card and record, and the label clicks
// all read this table.

// How a click on a box's label changes the box.
enum class CardStat {
    None,     // not a stat field: always shown, a label click does nothing
    Number,   // a number stepped by the click
    Options,  // the next value of a fixed list
};

struct CardBox {
    int field;            // the record field the box shows (ContactField)
    const char* caption;  // the label's caption
    int labelLeft, labelTop, labelWidth;
    int boxLeft, boxTop, boxWidth, boxHeight;
    const char* font;
    double points;
    CardStat stat;
    // For CardStat::Options: the values in cycle order, unused ones null.
    std::array<const char*, 6> options;
};

// Every label is as high as a one-line box.
inline constexpr int CardLabelHeight = 285;

// txtField(0) to txtField(10), then the notes box. The keyboard visits the
// boxes in this order, with OK between the last field and the notes box.
inline constexpr std::array<CardBox, 12> CardBoxes = {{
    {ContactField::ChatName, "Chatname", -90, 270, 1005, 990, 270, 2625, 285, "Comic Sans MS", 9.75,
     CardStat::None, {}},
    {ContactField::RealName, "Real Name", -90, 540, 1005, 990, 540, 2625, 285, "Comic Sans MS", 9,
     CardStat::None, {}},
    {ContactField::MetAt, "&Met at", -90, 810, 1005, 990, 810, 2625, 285, "Arial Narrow", 9,
     CardStat::None, {}},
    {ContactField::Email, "Email", 90, 1080, 825, 990, 1080, 2625, 285, "Arial Narrow", 9,
     CardStat::None, {}},
    {ContactField::Website, "Website", 90, 1350, 825, 990, 1350, 2625, 285, "Arial Narrow", 9,
     CardStat::None, {}},
    {ContactField::Age, "Age", 3690, 270, 375, 4140, 270, 555, 285, "Comic Sans MS", 9,
     CardStat::Number, {}},
    {ContactField::Sex, "Sex", 3690, 540, 375, 4140, 540, 555, 285, "Comic Sans MS", 9,
     CardStat::Options, {"M", "F", "?"}},
    {ContactField::Height, "Hgt", 3240, 810, 825, 4140, 810, 555, 285, "Arial Narrow", 9,
     CardStat::Number, {}},
    {ContactField::Weight, "Wgt", 3600, 1080, 465, 4140, 1080, 555, 285, "Arial Narrow", 9,
     CardStat::Number, {}},
    {ContactField::Hair, "hair", 3600, 1350, 465, 4140, 1350, 555, 285, "Arial Narrow", 9,
     CardStat::Options, {"blond", "black", "brown", "fair", "red"}},
    {ContactField::Eyes, "eyes", 3600, 1620, 465, 4140, 1620, 555, 285, "Arial Narrow", 9,
     CardStat::Options, {"blue", "hazel", "brown", "green", "dark"}},
    {ContactField::Notes, "Notes", 450, 1620, 465, 990, 1620, 2625, 645, "Arial Narrow", 9,
     CardStat::None, {}},
}};

// The index of the notes box; the boxes before it are the one-line fields.
inline constexpr int CardNotesBox = 11;

namespace ContactField {
// The twelve fields shown on the card, in the order of its boxes.
inline constexpr std::array<int, 12> CardFields = [] {
    std::array<int, 12> fields{};
    for (std::size_t i = 0; i < fields.size(); ++i)
        fields[i] = CardBoxes[i].field;
    return fields;
}();
} // namespace ContactField
