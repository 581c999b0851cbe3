// vCard and CSV import and export of contacts, on the bytes alone.
#include "core/contacts/CardLayout.h"
#include "core/contacts/ContactCsv.h"
#include "core/contacts/VCard.h"
#include "core/platform/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace F = ContactField;

namespace {

QString DataPath(const QString& name)
{
    return qEnvironmentVariable("BANTERLY_TEST_DATA") + QStringLiteral("/vcard/") + name;
}

QString Python()
{
    // Debian's python3-vobject belongs to the system's interpreter.
    return QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                             : QStringLiteral("python3");
}

// The same text with every line end (CR LF, LF or CR) made `end`.
QByteArray WithLineEnds(QByteArray bytes, const QByteArray& end)
{
    bytes.replace("\r\n", "\n").replace('\r', '\n');
    return end == "\n" ? bytes : bytes.replace("\n", end);
}

int LeftOutCount(const ContactImport& in, LeftOut kind) { return in.leftOut[int(kind)]; }

QByteArray ReadData(const QString& name)
{
    QFile f(DataPath(name));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(f.fileName()));
    return f.readAll();
}

// Three contacts: one with all 82 fields filled (non-ASCII, the characters
// vCard and CSV escape, a note long enough to be folded many times), one with
// only a chat name, one with only a reserved field.
std::vector<ContactRecord> SampleContacts()
{
    std::vector<ContactRecord> list(3);
    ContactRecord& full = list[0];
    for (int i = 0; i < F::Count; ++i)
        full.SetField(i, QStringLiteral("f%1 \u00fcn\u00ef \u2713 \U0001F600 , ; \\ \"q\" :").arg(i));
    full.SetField(F::RealName, QStringLiteral("M\u00e1ria Jos\u00e9 da Silva"));
    // " ::: " joins addresses in one web mail's columns only: in this
    // program's own files it is text like any other.
    full.SetField(F::Email, QStringLiteral("maria@example.com ::: maria@work.example"));
    full.SetField(F::Website, QStringLiteral("http://a.example ::: http://b.example"));
    full.SetField(F::Age, QStringLiteral(" 42 "));
    QString note;
    while (note.size() < 3000)
        note += QStringLiteral("caf\u00e9 \u738b\u5c0f\u660e, semi; back\\slash ");
    full.SetField(F::Notes, note);
    list[1].SetField(F::ChatName, QStringLiteral("only_chat"));
    list[2].SetField(33, QStringLiteral("reserved \u00e5"));
    return list;
}

struct Expected {
    QString chat, real, email, web, notes, sex;
};

void CompareCardFields(const ContactRecord& got, const Expected& want)
{
    QCOMPARE(got.Field(F::ChatName), want.chat);
    QCOMPARE(got.Field(F::RealName), want.real);
    QCOMPARE(got.Field(F::Email), want.email);
    QCOMPARE(got.Field(F::Website), want.web);
    QCOMPARE(got.Field(F::Notes), want.notes);
    QCOMPARE(got.Field(F::Sex), want.sex);
    QVERIFY(got.Field(F::ContactID).isEmpty());
}

} // namespace

Q_DECLARE_METATYPE(QList<Expected>)

class TestVCard : public QObject {
    Q_OBJECT

private slots:
    void vcardRoundTripKeepsEveryFieldButTheId()
    {
        const std::vector<ContactRecord> contacts = SampleContacts();
        const QByteArray bytes = ContactsToVCard(contacts);

        // Every line ends in CR LF, holds at most 75 bytes and is valid
        // UTF-8 by itself (no fold inside a character).
        QVERIFY(bytes.endsWith("\r\n"));
        const QList<QByteArray> lines = bytes.chopped(2).split('\n');
        QVERIFY(lines.size() > 100);
        for (const QByteArray& line : lines) {
            QVERIFY2(line.endsWith('\r') || &line == &lines.back(), line.constData());
            const QByteArray text = line.endsWith('\r') ? line.chopped(1) : line;
            QVERIFY2(text.size() <= 75 && !text.contains('\r'), text.constData());
            QVERIFY2(IsValidUtf8(text), text.constData());
        }
        QVERIFY(bytes.contains("\r\nN:Silva;M\xc3\xa1ria Jos\xc3\xa9 da;;;\r\n"));
        QVERIFY(!bytes.contains("f0 "));

        ContactImport in;
        QString error;
        QVERIFY(ReadVCards(bytes, in, &error));
        QCOMPARE(in.unreadable, QStringList());
        QCOMPARE(in.contacts.size(), contacts.size());
        for (size_t k = 0; k < contacts.size(); ++k) {
            QVERIFY(in.contacts[k].Field(F::ContactID).isEmpty());
            for (int i = 1; i < F::Count; ++i)
                QCOMPARE(in.contacts[k].Field(i), contacts[k].Field(i));
        }
    }

    void csvRoundTripKeepsTheCardFields()
    {
        const std::vector<ContactRecord> contacts = SampleContacts();
        const QByteArray bytes = ContactsToCsv(contacts);
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        QCOMPARE(bytes.count("\r\n"), 4);

        ContactImport in;
        QString error;
        QVERIFY2(ReadContactCsv(bytes, in, &error), qPrintable(error));
        // The third contact holds only a reserved field, which CSV leaves
        // out: its row is empty and is passed over.
        QCOMPARE(in.contacts.size(), size_t(2));
        QCOMPARE(in.unreadable, QStringList());
        for (size_t k = 0; k < 2; ++k)
            for (int i = 0; i < F::Count; ++i) {
                const bool onCard = std::find(F::CardFields.begin(), F::CardFields.end(), i) !=
                                    F::CardFields.end();
                QCOMPARE(in.contacts[k].Field(i), onCard ? contacts[k].Field(i) : QString());
            }

        ContactRecord shouting = contacts[0];
        shouting.SetField(F::RealName, contacts[0].Field(F::RealName).toUpper());
        QVERIFY(SameContact(in.contacts[0], shouting));
        shouting.SetField(F::Email, QStringLiteral("other@example.com"));
        QVERIFY(!SameContact(in.contacts[0], shouting));
    }

    void importsOfCommonExports_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QList<Expected>>("contacts");
        QTest::addColumn<QStringList>("skippedLines");
        QTest::newRow("phone 2.1, quoted-printable, charsets, base64 photo, folds")
            << "phone-2.1.vcf"
            << QList<Expected>{
                   {"juergen_m", "J\u00fcrgen M\u00fcller", "j.mueller@work.example.de", "",
                    "Trifft sich gern im Caf\u00e9, liest viel und mag Hunde; spielt Schach.", ""},
                   {"", "Fran\u00e7oise Gar\u00e7on", "fran@example.fr", "http://fran.example.fr/",
                    "Plays chess and likes long walks", ""}}
            << QStringList{"line 25: "};
        QTest::newRow("web mail 3.0, groups, type=pref, folded note")
            << "webmail-3.0.vcf"
            << QList<Expected>{{"annas", "Anna Svensson", "anna@mail.example.com",
                                "https://anna.example.se/blog",
                                "Met in the night-owls room, likes jazz; plays piano. Second "
                                "line of the note with \u00e5\u00e4\u00f6.",
                                ""},
                               {"", "Bob", "bob@mail.example.com", "", "", ""}}
            << QStringList{};
        QTest::newRow("desktop 3.0, LF, tab folds, no FN, Windows-1252 bytes")
            << "desktop-3.0.vcf"
            << QList<Expected>{{"shiv", "Siobh\u00e1n O'Neil", "siobhan@home.example.ie",
                                "http://shiv.example.ie", "", ""},
                               {"", "Ren\u00e9 Dubois", "rene@example.fr", "",
                                "Caf\u00e9 au lait \u2013 every morning", ""}}
            << QStringList{};
        QTest::newRow("server 4.0, GENDER, PREF=n")
            << "server-4.0.vcf"
            << QList<Expected>{{"xiaoming", "\u738b\u5c0f\u660e", "ming@home.example.cn",
                                "https://ming.example.cn/", "Speaks three languages", "M"}}
            << QStringList{};
        QTest::newRow("broken cards among good ones, a bad line costs only the line")
            << "broken.vcf"
            << QList<Expected>{{"", "First Good", "", "", "", ""},
                               {"", "Second Good", "", "", "", ""},
                               {"", "Bad Line", "", "", "", ""},
                               {"", "Third Good", "", "", "", ""}}
            << QStringList{"line 6: ", "line 23: "};
        QTest::newRow("Google CSV, quoted note with a line break")
            << "google.csv"
            << QList<Expected>{{"annas", "Anna Svensson", "anna@mail.example.com",
                                "https://anna.example.se/blog",
                                "Met in the night-owls room, likes jazz. Plays piano.", "female"},
                               {"", "J\u00fcrgen M\u00fcller", "juergen@example.de", "", "", ""}}
            << QStringList{"line 5: "};
        QTest::newRow("Thunderbird CSV, Windows-1252, LF, quoted name over two lines")
            << "thunderbird.csv"
            << QList<Expected>{{"shiv", "Siobh\u00e1n O'Neil", "siobhan@home.example.ie",
                                "http://shiv.example.ie", "She said \"hi\" first", ""},
                               {"", "Bob", "bob@mail.example.com", "", "", ""},
                               {"", "Quoted Name Smith", "qs@example.com", "", "", ""}}
            << QStringList{};
    }

    void importsOfCommonExports()
    {
        QFETCH(QString, file);
        QFETCH(QList<Expected>, contacts);
        QFETCH(QStringList, skippedLines);
        ContactImport in;
        QString error;
        const bool ok = file.endsWith(QLatin1String(".csv"))
                            ? ReadContactCsv(ReadData(file), in, &error)
                            : ReadVCards(ReadData(file), in, &error);
        QVERIFY2(ok, qPrintable(error));
        QCOMPARE(in.contacts.size(), size_t(contacts.size()));
        for (qsizetype k = 0; k < contacts.size(); ++k)
            CompareCardFields(in.contacts[k], contacts[k]);
        QCOMPARE(in.unreadable.size(), skippedLines.size());
        for (qsizetype k = 0; k < skippedLines.size(); ++k)
            QVERIFY2(in.unreadable[k].startsWith(skippedLines[k]), qPrintable(in.unreadable[k]));
    }

    // Exports of real programs, collected from the test suites of public
    // vCard libraries (tests/data/vcard/real-world/SOURCES.md), read with
    // every kind of line end, give what vobject reads in them.
    void realWorldExportsMatchAnIndependentReader()
    {
        const QString folder = DataPath(QStringLiteral("real-world"));
        QProcess python;
        python.start(Python(), {qEnvironmentVariable("BANTERLY_TEST_DATA") +
                                    QStringLiteral("/../core/contacts/read_real_vcards.py"),
                                folder});
        QVERIFY2(python.waitForFinished(60000), "python3 did not finish");
        QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
        const QJsonObject expected = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
        QVERIFY(expected.size() >= 6);
        const QStringList kinds = {"PhoneNumbers", "Addresses",    "Birthdays", "Organisations",
                                   "Photos",       "MessengerNames", "MoreEmails"};
        for (auto file = expected.begin(); file != expected.end(); ++file) {
            const QJsonArray cards = file.value().toArray();
            const QByteArray bytes = ReadData(QStringLiteral("real-world/") + file.key());
            for (const QByteArray& end : {QByteArray(), QByteArray("\r\n"), QByteArray("\n"),
                                          QByteArray("\r"), QByteArray("\r\r\n")}) {
                const QString where = file.key() + QStringLiteral(" line ends ") +
                                      QString::fromLatin1(end.toPercentEncoding());
                ContactImport in;
                QString error;
                QVERIFY2(ReadVCards(end.isEmpty() ? bytes : WithLineEnds(bytes, end), in, &error),
                         qPrintable(where + error));
                QVERIFY2(in.unreadable.isEmpty() && in.skippedLines == 0,
                         qPrintable(where + in.unreadable.join(u' ')));
                QCOMPARE(qsizetype(in.contacts.size()), cards.size());
                std::array<int, int(LeftOut::Count)> leftOut{};
                for (qsizetype k = 0; k < cards.size(); ++k) {
                    const QJsonObject want = cards[k].toObject();
                    const ContactRecord& got = in.contacts[size_t(k)];
                    const Expected fields{want["chat"].toString(),  want["real"].toString(),
                                          want["email"].toString(), want["web"].toString(),
                                          want["notes"].toString(), QString()};
                    CompareCardFields(got, fields);
                    for (const QJsonValue kind : want["leftOut"].toArray())
                        ++leftOut[kinds.indexOf(kind.toString())];
                }
                QVERIFY2(in.leftOut == leftOut, qPrintable(where));
            }
        }
    }

    // A phone's export with CR CR LF line ends: folded and quoted-printable
    // values run on across them, a line that is no property costs that
    // line, an embedded AGENT card belongs to its contact, and a card with
    // nothing left but broken lines is the one not read.
    void oddLinesCostTheLineNotTheCard()
    {
        const QByteArray phone =
            "BEGIN:VCARD\n"
            "VERSION:2.1\n"
            "N:Lindqvist;Maja\n"
            "NICKNAME:maja_l\n"
            "X-messaging/twitter-All:@maja\n"
            "# written by the phone\n"
            "NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Likes long walks =\n"
            "and caf=C3=A9s\n"
            "PHOTO;ENCODING=BASE64;TYPE=JPEG:/9j/4AAQSkZJRgABAQAAAQABAAD\n"
            " /2wBDAAgGBgcGBQgHBwcJCQgKDBQNDAsLDBkSEw8U\n"
            "\n"
            "AGENT:\n"
            "BEGIN:VCARD\n"
            "VERSION:2.1\n"
            "FN:The Assistant\n"
            "EMAIL:assistant@example.se\n"
            "END:VCARD\n"
            "EMAIL;INTERNET:maja@example.se\n"
            "TEL;CELL:+46 70 000 00 00\n"
            "END:VCARD\n"
            "BEGIN:VCARD\n"
            "VERSION:3.0\n"
            "# nothing but broken lines\n"
            "X-messaging/aim-All:maja\n"
            "END:VCARD\n"
            "BEGIN:VCARD\n"
            "VERSION:3.0\n"
            "FN:Ola Nord\n"
            "NOTE:folded across\n"
            "  any line end\n"
            "END:VCARD\n";
        for (const QByteArray& end : {QByteArray("\r\r\n"), QByteArray("\r\n"), QByteArray("\n"),
                                      QByteArray("\r")}) {
            ContactImport in;
            QString error;
            QVERIFY2(ReadVCards(WithLineEnds(phone, end), in, &error), qPrintable(error));
            QCOMPARE(in.contacts.size(), size_t(2));
            CompareCardFields(in.contacts[0], {"maja_l", "Maja Lindqvist", "maja@example.se", "",
                                               "Likes long walks and caf\u00e9s", ""});
            CompareCardFields(in.contacts[1], {"", "Ola Nord", "", "", "folded across any line end", ""});
            QCOMPARE(in.skippedLines, 2);
            QCOMPARE(in.skippedLineNotes.size(), 2);
            QVERIFY2(in.skippedLineNotes[0].startsWith("line 5: ") &&
                         in.skippedLineNotes[0].contains("X-messaging/twitter-All"),
                     qPrintable(in.skippedLineNotes[0]));
            QVERIFY(in.skippedLineNotes[1].startsWith("line 6: "));
            QCOMPARE(in.unreadable.size(), 1);
            QVERIFY2(in.unreadable[0].startsWith("line 23: "), qPrintable(in.unreadable[0]));
            QCOMPARE(LeftOutCount(in, LeftOut::PhoneNumbers), 1);
            QCOMPARE(LeftOutCount(in, LeftOut::Photos), 1);
            QCOMPARE(LeftOutCount(in, LeftOut::MoreEmails), 0);
        }
    }

    // Spreadsheet programs in many locales separate with semicolons or
    // tabs; mail programs write a middle name, a personal web page and
    // "Unspecified" for no gender; some vCard writers escape quotes.
    void otherProgramsDialects()
    {
        const QByteArray semicolons =
            "First Name;Middle Name;Last Name;E-mail Address;Personal Web Page;Gender\r\n"
            "Anna;Maria;Berg;anna@example.se;http://anna.example.se/;Unspecified\r\n"
            "\"Jan; Jr\";;Ek;jan@example.se ::: jan@work.example;;Male\r\n";
        QByteArray tabs = semicolons;
        tabs.replace(';', '\t').replace("Jan\t Jr", "Jan; Jr");
        for (const QByteArray& bytes : {semicolons, tabs}) {
            ContactImport in;
            QString error;
            QVERIFY2(ReadContactCsv(bytes, in, &error), qPrintable(error));
            QCOMPARE(in.contacts.size(), size_t(2));
            CompareCardFields(in.contacts[0], {"", "Anna Maria Berg", "anna@example.se",
                                               "http://anna.example.se/", "", ""});
            CompareCardFields(in.contacts[1], {"", "Jan; Jr Ek", "jan@example.se ::: jan@work.example",
                                               "", "", "Male"});
        }
        ContactImport in;
        QString error;
        QVERIFY(!ReadContactCsv("Anna;Berg;anna@example.se\r\n", in, &error));
        QVERIFY(error.contains("does not name the columns"));

        QVERIFY(ReadVCards("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Eva\r\n"
                           "NOTE:She said \\\"hi\\\" first\\, then left\r\n"
                           "GENDER:Unspecified\r\nEND:VCARD\r\n",
                           in, &error));
        CompareCardFields(in.contacts[0], {"", "Eva", "", "", "She said \"hi\" first, then left", ""});
    }

    void filesThatAreNoAddressBookAreRefused()
    {
        const QByteArray notCards[] = {ReadData("calendar.ics"), QByteArray(),
                                       QByteArray("\xff\xfe\x00garbage\r\n:::;;;\n", 19)};
        for (const QByteArray& bytes : notCards) {
            ContactImport in;
            QString error;
            QVERIFY(!ReadVCards(bytes, in, &error));
            QVERIFY(!error.isEmpty());
            QVERIFY(in.contacts.empty());
        }
        const QByteArray notRows[] = {QByteArray("Name,Price\r\nTea,3\r\n"),
                                      ContactsToVCard(SampleContacts()), QByteArray()};
        for (const QByteArray& bytes : notRows) {
            ContactImport in;
            QString error;
            QVERIFY(!ReadContactCsv(bytes, in, &error));
            QVERIFY(!error.isEmpty());
            QVERIFY(in.contacts.empty());
        }
    }

    // Python's vobject and csv modules read what this program writes.
    void exportsReadByAnIndependentReader()
    {
        const std::vector<ContactRecord> contacts = SampleContacts();
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const auto write = [&](const QString& name, const QByteArray& bytes) {
            QFile f(dir.filePath(name));
            return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
        };
        QJsonArray expected;
        for (const ContactRecord& c : contacts) {
            QJsonArray fields;
            for (int i = 0; i < F::Count; ++i)
                fields.append(c.Field(i));
            expected.append(fields);
        }
        QVERIFY(write("contacts.vcf", ContactsToVCard(contacts)));
        QVERIFY(write("contacts.csv", ContactsToCsv(contacts)));
        QVERIFY(write("expected.json", QJsonDocument(expected).toJson()));

        QProcess python;
        python.setProcessChannelMode(QProcess::MergedChannels);
        python.start(Python(),
                     {qEnvironmentVariable("BANTERLY_TEST_DATA") +
                          QStringLiteral("/../core/contacts/check_exports.py"),
                      dir.filePath("contacts.vcf"), dir.filePath("contacts.csv"),
                      dir.filePath("expected.json")});
        QVERIFY2(python.waitForFinished(60000), "python3 did not finish");
        const QByteArray output = python.readAll();
        QVERIFY2(python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0,
                 output.constData());
        QVERIFY2(output.contains("3 cards and 3 rows match"), output.constData());
    }
};

QTEST_GUILESS_MAIN(TestVCard)
#include "test_vcard.moc"
