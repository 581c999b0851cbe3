#pragma once

#include <QString>
#include <array>

// The fields of a contact that have a meaning; every other field of the 82 is
// reserved: read from the file, written back unchanged and searched.
namespace ContactField {
enum : int {
    ContactID = 0,
    Notes = 18,
    ChatName = 24,
    Sex = 25,
    RealName = 26,
    Email = 40,
    Website = 41,
    Height = 42,
    MetAt = 55,
    Hair = 59,
    Weight = 60,
    Eyes = 61,
    Age = 79,
};
constexpr int Count = 82;
// The twelve fields shown on the card.
constexpr std::array<int, 12> CardFields = {Notes,  ChatName, Sex,  RealName, Email, Website,
                                            Height, MetAt,    Hair, Weight,   Eyes,  Age};
} // namespace ContactField

// One contact: 82 text fields, numbered 0 to 81.
class ContactRecord {
public:
    const QString& Field(int index) const { return m_fields[index]; }
    void SetField(int index, const QString& text) { m_fields[index] = text; }
    void Clear()
    {
        for (QString& f : m_fields)
            f.clear();
    }
    bool operator==(const ContactRecord& other) const = default;

private:
    std::array<QString, ContactField::Count> m_fields;
};
