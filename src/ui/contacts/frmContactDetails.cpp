#include "ui/contacts/frmContactDetails.h"

#include "core/contacts/CardLayout.h"
#include "core/contacts/ContactStore.h"
#include "core/files/ErrorLog.h"
#include "ui/desktop/Desktop.h"
#include "core/platform/Platform.h"
#include "ui/desktop/Twips.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFocusEvent>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QRadialGradient>
#include <QScrollBar>
#include <QTextCursor>
#include <QWindow>
#include <cmath>
#include <string>

namespace {
const QColor kGotFocusColour(255, 255, 192);  // pale yellow
const QColor kGreyedColour(192, 192, 0);      // olive
const QColor kLabelColour(255, 255, 0);       // yellow
const QColor kFocusLabelColour(255, 255, 255);
const QColor kBoxText(0, 0, 0);

QFont NamedFont(const char* family, double points, bool bold = false)
{
    QFont f(QString::fromLatin1(family));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

void SetColour(QWidget* w, QPalette::ColorRole role, const QColor& c)
{
    QPalette p = w->palette();
    p.setColor(role, c);
    w->setPalette(p);
}

void SetLabelLook(QLabel* l, const QColor& colour, bool bold)
{
    SetColour(l, QPalette::WindowText, colour);
    QFont f = l->font();
    f.setBold(bold);
    l->setFont(f);
}

// The card's background: a dark night sky, 337 by 231 pixels, with a bright
// burst of light near its right edge. Yellow and white text stay readable on
// it everywhere the labels lie.
QPixmap MakeBackground()
{
    QImage img(337, 231, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient sky(0, 0, 0, img.height());
    sky.setColorAt(0, QColor(4, 6, 28));
    sky.setColorAt(1, QColor(0, 0, 8));
    p.fillRect(img.rect(), sky);
    // Faint scattered stars, placed by a fixed sequence so the picture never
    // changes between runs.
    unsigned seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7fff;
    };
    for (int i = 0; i < 90; ++i) {
        const int x = int(next() % img.width());
        const int y = int(next() % img.height());
        const int v = 70 + int(next() % 80);
        img.setPixelColor(x, y, QColor(v, v, v + 20 > 255 ? 255 : v + 20));
    }
    const QPointF centre(312, 196);
    QRadialGradient glow(centre, 60);
    glow.setColorAt(0, QColor(255, 255, 235, 255));
    glow.setColorAt(0.08, QColor(220, 230, 255, 200));
    glow.setColorAt(0.35, QColor(60, 80, 160, 70));
    glow.setColorAt(1, QColor(0, 0, 0, 0));
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(centre, 60, 60);
    for (int ray = 0; ray < 8; ++ray) {
        const double a = ray * M_PI / 4 + 0.2;
        const double len = ray % 2 ? 22 : 40;
        QLinearGradient beam(centre, centre + QPointF(std::cos(a) * len, std::sin(a) * len));
        beam.setColorAt(0, QColor(255, 255, 255, 220));
        beam.setColorAt(1, QColor(255, 255, 255, 0));
        p.setPen(QPen(QBrush(beam), 1.5));
        p.drawLine(centre, centre + QPointF(std::cos(a) * len, std::sin(a) * len));
    }
    p.end();
    return QPixmap::fromImage(img);
}

bool IsBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }
} // namespace

double ReadLeadingNumber(const QString& text)
{
    std::string number;
    bool digits = false, point = false;
    int i = 0;
    const int n = int(text.size());
    auto skipBlanks = [&] {
        while (i < n && IsBlank(text[i]))
            ++i;
    };
    skipBlanks();
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        number += char(text[i].unicode());
        ++i;
    }
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (IsBlank(c))
            continue;
        if (c.unicode() >= '0' && c.unicode() <= '9') {
            number += char(c.unicode());
            digits = true;
        } else if (c == u'.' && !point) {
            number += '.';
            point = true;
        } else {
            break;
        }
    }
    if (!digits)
        return 0;
    // An exponent counts only when at least one digit follows it.
    if (i < n && QStringLiteral("eEdD").contains(text[i])) {
        int j = i + 1;
        std::string exponent = "e";
        while (j < n && IsBlank(text[j]))
            ++j;
        if (j < n && (text[j] == u'+' || text[j] == u'-'))
            exponent += char(text[j++].unicode());
        bool expDigits = false;
        for (; j < n; ++j) {
            const QChar c = text[j];
            if (IsBlank(c))
                continue;
            if (c.unicode() < '0' || c.unicode() > '9')
                break;
            exponent += char(c.unicode());
            expDigits = true;
        }
        if (expDigits)
            number += exponent;
    }
    return std::strtod(number.c_str(), nullptr);
}

QString FormatStatNumber(double value)
{
    if (value == 0)
        value = 0;  // no "-0"
    QString s = QString::number(value, 'g', 15).toUpper();
    if (s.startsWith(QStringLiteral("0.")))
        s.remove(0, 1);
    else if (s.startsWith(QStringLiteral("-0.")))
        s.remove(1, 1);
    return value >= 0 ? QStringLiteral(" ") + s : s;
}

frmContactDetails::frmContactDetails(ContactStore& book) : m_book(book)
{
    setWindowTitle(QStringLiteral("Banterly - Address Book"));
    setFixedSize(TwipsToPixels(4770), TwipsToPixels(3150));
    SetColour(this, QPalette::Window, Qt::black);
    m_background = MakeBackground();

    for (int i = 0; i < 12; ++i) {
        const CardBox& L = CardBoxes[i];
        auto* box = new QPlainTextEdit(this);
        box->setObjectName(i < 11 ? QStringLiteral("txtField%1").arg(i) : QStringLiteral("txtNotes"));
        box->setGeometry(TwipsRect(L.boxLeft, L.boxTop, L.boxWidth, L.boxHeight));
        box->setFont(NamedFont(L.font, L.points));
        box->setTabChangesFocus(true);
        box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        // A box one line high shows its value on one line, scrolled sideways
        // to the caret as in any text box; wrapped, a long value would leave
        // the box showing only its last piece.
        if (i != CardNotesBox)
            box->setLineWrapMode(QPlainTextEdit::NoWrap);
        box->document()->setDocumentMargin(1);
        SetColour(box, QPalette::Base, kGreyedColour);
        SetColour(box, QPalette::Text, kBoxText);
        box->installEventFilter(this);

        auto* label = new QLabel(QString::fromLatin1(L.caption), this);
        label->setObjectName(QStringLiteral("lbl%1").arg(i));
        label->setGeometry(TwipsRect(L.labelLeft, L.labelTop, L.labelWidth, CardLabelHeight));
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        label->setFont(NamedFont("Comic Sans MS", 9));
        SetColour(label, QPalette::WindowText, kLabelColour);
        label->installEventFilter(this);
        lbl[i] = label;

        if (i < 11) {
            txtField[i] = box;
            connect(box, &QPlainTextEdit::textChanged, this, [this, i] { txtField_Change(i); });
        } else {
            txtNotes = box;
        }
        // New text in any box is worth another automatic save attempt.
        connect(box, &QPlainTextEdit::textChanged, this, [this, i] {
            m_saveFailed = false;
            KeepWithinLineLimit(i);
            UpdateBoxToolTip(i);
        });
    }
    lbl[2]->setBuddy(txtField[2]);  // Alt+M moves to "Met at"
    txtNotes->setPlainText(QStringLiteral("Jot down other notes about the person here\r\n"));

    lblID = new QLabel(QStringLiteral("1 of 1"), this);
    lblID->setObjectName(QStringLiteral("lblID"));
    lblID->setGeometry(TwipsRect(90, 2790, 405, 195));
    lblID->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    SetColour(lblID, QPalette::WindowText, Qt::white);
    lblID->adjustSize();

    cmdOK = new QPushButton(QStringLiteral("Ok"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(TwipsRect(2018, 2610, 735, 375));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmContactDetails::cmdOK_Click);

    cmdOK->installEventFilter(this);
    SetStatFieldsVisible(false);
    // Focus order: the fields, OK, the notes, and round to the first field.
    for (int i = 0; i + 1 < CardNotesBox; ++i)
        setTabOrder(txtField[i], txtField[i + 1]);
    setTabOrder(txtField[CardNotesBox - 1], cmdOK);
    setTabOrder(cmdOK, txtNotes);
    setTabOrder(txtNotes, txtField[0]);
    txtField[0]->setFocus();
    // Opening a contact from the list shows the card without taking the
    // keyboard from the list; a new contact activates it (StartTyping).
    setAttribute(Qt::WA_ShowWithoutActivating);
    SetShownContact(0);

    connect(qApp, &QGuiApplication::focusWindowChanged, this,
            &frmContactDetails::OnFocusWindowChanged);
    connect(&m_book, &ContactStore::contactRemoved, this,
            &frmContactDetails::FollowRemovedContact);
    connect(&m_book, &ContactStore::contactsReloaded, this,
            &frmContactDetails::FollowReloadedBook);
}

void frmContactDetails::Load()
{
    for (QPlainTextEdit* box : txtField)
        box->setPlainText(QString());
}

void frmContactDetails::SetStatFieldsVisible(bool visible)
{
    for (int i = 0; i < 12; ++i) {
        if (CardBoxes[i].stat != CardStat::None) {
            Box(i)->setVisible(visible);
            lbl[i]->setVisible(visible);
        }
    }
}

void frmContactDetails::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    p.drawPixmap(0, 0, m_background);
}

void frmContactDetails::closeEvent(QCloseEvent* e)
{
    // The card lives to the end of the run; closing only hides it, and a
    // marked edit stays marked.
    e->ignore();
    hide();
}

int frmContactDetails::BoxIndex(const QObject* o) const
{
    for (int i = 0; i < 12; ++i)
        if (Box(i) == o)
            return i;
    return -1;
}

bool frmContactDetails::eventFilter(QObject* watched, QEvent* e)
{
    const int box = BoxIndex(watched);
    if (box >= 0) {
        switch (e->type()) {
        case QEvent::FocusIn: {
            // Activation of the window and pop-up menus do not count as the
            // box getting the focus, unless the box is a new one.
            const auto reason = static_cast<QFocusEvent*>(e)->reason();
            const bool windowOnly =
                reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
            if (!windowOnly || Box(box) != m_focusedBox)
                Box_GotFocus(box);
            break;
        }
        case QEvent::FocusOut: {
            // Leaving the window is handled by the deactivation step.
            const auto reason = static_cast<QFocusEvent*>(e)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                Box_LostFocus(box);
            break;
        }
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(e);
            if (Box(box)->isReadOnly() && !key->text().isEmpty() && key->text().at(0).isPrint() &&
                !(key->modifiers() & Qt::ControlModifier)) {
                platform().Beep();  // no contact on the card to type into
                return true;
            }
            return HandleKey(box, key);
        }
        default:
            break;
        }
        return false;
    }
    if (watched == cmdOK && e->type() == QEvent::FocusIn) {
        // The colours follow the keyboard: with the focus on OK no box is
        // drawn as focused.
        const auto reason = static_cast<QFocusEvent*>(e)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            GreyOut(this, kGreyedColour);
        return false;
    }
    if (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick) {
        for (int i = 0; i < 12; ++i) {
            if (lbl[i] == watched) {
                lbl_MouseDown(i, static_cast<QMouseEvent*>(e)->button());
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, e);
}

bool frmContactDetails::HandleKey(int index, QKeyEvent* key)
{
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    if (key->modifiers() & Qt::ControlModifier) {
        if (Box(index)->isReadOnly()) {
            platform().Beep();
            return true;
        }
        // Ctrl+Enter types a line break; at the end of a field the change
        // rule turns it into a move to the next field.
        Box(index)->insertPlainText(QStringLiteral("\n"));
        return true;
    }
    // Enter is OK. The box keeps the focus, so its edit is marked first.
    MarkFocusedBoxEdit();
    cmdOK->click();
    return true;
}

void frmContactDetails::Box_GotFocus(int index)
{
    QPlainTextEdit* box = Box(index);
    m_focusedBox = box;
    m_fieldTextOnFocus = box->toPlainText();
    DisplayNonFocusedFieldsAsGreyedOut(box, lbl[index], this, kGotFocusColour, kGreyedColour);
}

void frmContactDetails::Box_LostFocus(int index)
{
    if (Box(index)->toPlainText() != m_fieldTextOnFocus)
        m_contactsChanged = true;
}

void frmContactDetails::MarkFocusedBoxEdit()
{
    if (!m_focusedBox || focusWidget() != m_focusedBox)
        return;
    Box_LostFocus(BoxIndex(m_focusedBox));
    m_fieldTextOnFocus = m_focusedBox->toPlainText();
}

void frmContactDetails::txtField_Change(int index)
{
    QPlainTextEdit* box = txtField[index];
    QString text = box->toPlainText();
    int cut = 0;
    if (text.endsWith(QStringLiteral("\r\n")))
        cut = 2;
    else if (text.endsWith(u'\n') || text.endsWith(QChar::ParagraphSeparator))
        cut = 1;
    if (cut == 0)
        return;
    text.chop(cut);
    box->setPlainText(text);  // runs this rule again on the shorter text
    desktop().PostTabToActiveWindow();
}

void frmContactDetails::GreyOut(QWidget* f, const QColor& greyedColour)
{
    for (QWidget* w : f->findChildren<QWidget*>()) {
        if (auto* box = qobject_cast<QPlainTextEdit*>(w))
            SetColour(box, QPalette::Base, greyedColour);
        else if (auto* label = qobject_cast<QLabel*>(w))
            SetLabelLook(label, kLabelColour, false);
    }
}

void frmContactDetails::DisplayNonFocusedFieldsAsGreyedOut(QPlainTextEdit* focusedControl,
                                                           QLabel* focusedControlsLabel,
                                                           QWidget* f,
                                                           const QColor& gotFocusColour,
                                                           const QColor& greyedColour)
{
    GreyOut(f, greyedColour);
    SetLabelLook(focusedControlsLabel, kFocusLabelColour, true);
    SetColour(focusedControl, QPalette::Base, gotFocusColour);
    QTextCursor caret = focusedControl->textCursor();
    caret.movePosition(QTextCursor::End);
    focusedControl->setTextCursor(caret);
    SetLabelLook(focusedControlsLabel, kFocusLabelColour, true);
}

bool frmContactDetails::SaveIfChanged()
{
    if (m_contactsChanged && !ReadContactFromCard(*this)) {
        m_saveFailed = true;
        return false;
    }
    if (!m_book.ContactTableUnsaved())
        return true;
    m_saving = true;
    const bool saved = m_book.SaveContacts();
    m_saving = false;
    m_saveFailed = !saved;
    return saved;
}

void frmContactDetails::cmdOK_Click()
{
    // A failed save has told the user; the card stays up with its edit. The
    // list follows the book.
    if (!SaveIfChanged())
        return;
    hide();
    GiveKeyboardBack();
}

void frmContactDetails::NoteWindowBeforeCard(QWindow* window)
{
    if (window && window == windowHandle())
        return;
    if (!window) {
        m_windowBefore = nullptr;  // another application's window
        return;
    }
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->windowHandle() != window)
            continue;
        // Message boxes, input boxes and menus come and go over a window;
        // they are not where the user was.
        const auto* dialog = qobject_cast<QDialog*>(w);
        if (!(dialog && dialog->isModal()) && w->windowType() != Qt::Popup &&
            !qobject_cast<QMessageBox*>(w) && !qobject_cast<QInputDialog*>(w))
            m_windowBefore = w;
        return;
    }
}

void frmContactDetails::GiveKeyboardBack()
{
    // Back to the window the user was in before the card; another
    // application's window is left to the window manager.
    if (!m_windowBefore || !m_windowBefore->isVisible())
        return;
    m_windowBefore->raise();
    m_windowBefore->activateWindow();
}

void frmContactDetails::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::ActivationChange)
        DrawFocusForActivation();
    QWidget::changeEvent(e);
}

void frmContactDetails::DrawFocusForActivation()
{
    // A box is drawn as focused only while the card has the keyboard; the
    // caret stays where it was.
    GreyOut(this, kGreyedColour);
    if (!isActiveWindow() || !m_focusedBox || focusWidget() != m_focusedBox)
        return;
    SetLabelLook(lbl[BoxIndex(m_focusedBox)], kFocusLabelColour, true);
    SetColour(m_focusedBox, QPalette::Base, kGotFocusColour);
}

void frmContactDetails::Form_Deactivate()
{
    MarkFocusedBoxEdit();
    if (!m_contactsChanged && !m_book.ContactTableUnsaved())
        return;
    // After a failed save the user has been told; moving between windows
    // does not try (and report) again until something new is typed. OK and
    // closing the program still try.
    if (m_saveFailed)
        return;
    SaveIfChanged();
}

void frmContactDetails::CatchUpDeactivation()
{
    if (!m_activeInProgram)
        return;
    m_activeInProgram = false;
    Form_Deactivate();
}

void frmContactDetails::OnFocusWindowChanged(QWindow* window)
{
    NoteWindowBeforeCard(window);
    if (m_saving)
        return;
    if (window && window == windowHandle()) {
        m_activeInProgram = true;
        return;
    }
    if (!window)
        return;  // another application: not a deactivation
    QWidget* top = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowHandle() == window)
            top = w;
    // Message and input boxes are not windows of their own for this rule.
    if (!top || qobject_cast<QMessageBox*>(top) || qobject_cast<QInputDialog*>(top))
        return;
    if (auto* dialog = qobject_cast<QDialog*>(top); dialog && dialog->isModal())
        return;
    // Not while the focus change is being delivered: the window system still
    // holds both windows for signals it sends after this one, and the save
    // may show a message, whose event loop can close and destroy a window.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (QGuiApplication::focusWindow() != windowHandle())
                CatchUpDeactivation();
        },
        Qt::QueuedConnection);
}

void frmContactDetails::ResetEditBaseline()
{
    if (m_focusedBox)
        m_fieldTextOnFocus = m_focusedBox->toPlainText();
}

bool frmContactDetails::SaveMarkedEditOnExit()
{
    MarkFocusedBoxEdit();
    return SaveIfChanged();
}

bool frmContactDetails::WriteEditToContact()
{
    MarkFocusedBoxEdit();
    return !m_contactsChanged || ReadContactFromCard(*this);
}

void frmContactDetails::KeepThroughOutsideChange(const std::function<void()>& change)
{
    if (m_settingAside) {
        change();  // one that came while a message of the first one was up
        return;
    }
    // A refused edit has been told and stays on the card.
    WriteEditToContact();
    // Meanwhile the card goes on showing the empty new contact: it does not
    // follow the book to another one, which the keyboard would then type
    // into.
    m_settingAside = true;
    const bool setAside = m_shownContact != 0 && m_book.TakeOutEmptyNewContact(m_shownContact);
    m_settingAside = setAside;
    change();
    m_settingAside = false;
    if (!setAside)
        return;
    if (m_book.AddContact())
        ShowContactOnCard(*this);
    else
        FollowReloadedBook();  // the book is full: the card shows it as it is
}

void frmContactDetails::SetShownContact(quint64 serial)
{
    m_shownContact = serial;
    for (int i = 0; i < 12; ++i)
        Box(i)->setReadOnly(serial == 0);
}

void frmContactDetails::ShowStartOfBoxes()
{
    for (int i = 0; i < 12; ++i) {
        QPlainTextEdit* box = Box(i);
        QTextCursor start = box->textCursor();
        start.movePosition(QTextCursor::Start);
        box->setTextCursor(start);
        box->horizontalScrollBar()->setValue(0);
        box->verticalScrollBar()->setValue(0);
    }
}

void frmContactDetails::StartTyping()
{
    show();
    raise();
    activateWindow();
    txtField[0]->setFocus(Qt::OtherFocusReason);
    // Coloured and measured now: the window system may report the focus
    // only once it has activated the card.
    Box_GotFocus(0);
}

void frmContactDetails::UpdateBoxToolTip(int index)
{
    QPlainTextEdit* box = Box(index);
    const QString text = box->toPlainText();
    const QFontMetrics metrics(box->font());
    const int margin = 2 * int(box->document()->documentMargin()) + box->cursorWidth();
    const QRect room = box->contentsRect().adjusted(0, 0, -margin, -margin);
    bool hidden = false;
    if (index == CardNotesBox) {
        // A few lines fit; a long note never does, and is not measured.
        hidden = text.size() > 2000 ||
                 metrics.boundingRect(QRect(0, 0, room.width(), 1 << 20),
                                      Qt::TextWordWrap | Qt::TextWrapAnywhere, text)
                         .height() > room.height();
    } else {
        hidden = text.contains(u'\n') || text.size() > 500 ||
                 metrics.horizontalAdvance(text) > room.width();
    }
    if (!hidden) {
        box->setToolTip(QString());
        return;
    }
    // Shown as the text it is, never as markup; a very long value is cut.
    constexpr int kMostShown = 1000;
    QString shown = text.left(kMostShown);
    if (text.size() > kMostShown)
        shown += QChar(0x2026);
    box->setToolTip(QStringLiteral("<p style='white-space:pre-wrap'>") + shown.toHtmlEscaped() +
                    QStringLiteral("</p>"));
}

QString frmContactDetails::BoxText(int index) const
{
    // The document's own text: the plain-text view would turn a no-break
    // space into a plain one.
    QString text = Box(index)->document()->toRawText();
    for (QChar& c : text) {
        switch (c.unicode()) {
        case QChar::ParagraphSeparator:
        case QChar::LineSeparator:
        case 0xFDD0:  // frame start and end marks
        case 0xFDD1:
            c = u'\n';
            break;
        default:
            break;
        }
    }
    return text;
}

void frmContactDetails::KeepWithinLineLimit(int index)
{
    if (m_cutting)
        return;
    qsizetype used = 0;
    for (int i = 0; i < 12; ++i)
        used += CharacterCount(Box(i)->toPlainText());
    const qsizetype over = used - m_book.CardTextRoom(m_shownContact);
    if (over <= 0)
        return;
    QPlainTextEdit* box = Box(index);
    QString text = BoxText(index);
    qsizetype keep = text.size();
    for (qsizetype cut = 0; cut < over && keep > 0; ++cut) {
        --keep;
        if (keep > 0 && text.at(keep).isLowSurrogate() && text.at(keep - 1).isHighSurrogate())
            --keep;
    }
    text.truncate(keep);
    m_cutting = true;
    box->setPlainText(text);
    box->moveCursor(QTextCursor::End);
    m_cutting = false;
    // Told once the typing or pasting that caused it is over.
    QMetaObject::invokeMethod(
        this,
        [] {
            ReportFailure(QStringLiteral("The text was cut: ") + CardTooLongMessage());
        },
        Qt::QueuedConnection);
}

void frmContactDetails::FollowRemovedContact()
{
    if (m_settingAside)
        return;
    // The contact now current, or none: a card with no contact hides.
    ShowContactOnCard(*this);
    if (m_book.CurrentContact == 0)
        hide();
}

void frmContactDetails::FollowReloadedBook()
{
    if (m_settingAside)
        return;
    // A batch added at the end leaves the shown contact where it was: an open
    // card shows it (with the edit it holds) again.
    if (m_shownContact != 0 && m_book.PositionOfContact(m_shownContact) != 0) {
        if (!isVisible())
            return;
        // The caret stays where the user is typing when the box's text
        // stayed the same.
        QPlainTextEdit* box = focusWidget() == m_focusedBox ? m_focusedBox : nullptr;
        const QString before = box ? box->toPlainText() : QString();
        const int caret = box ? box->textCursor().position() : 0;
        ShowContactOnCard(*this);
        if (box && box->toPlainText() == before) {
            QTextCursor at = box->textCursor();
            at.setPosition(caret);
            box->setTextCursor(at);
        }
        return;
    }
    // A table loaded anew holds none of the contacts shown before: an edit
    // for one of them has no contact to go to.
    m_contactsChanged = false;
    ShowContactOnCard(*this);
    if (m_book.CurrentContact == 0)
        hide();
}

void ShowContactOnCard(frmContactDetails& card)
{
    const ContactStore& book = card.Book();
    // An edit still on the card belongs to the contact it shows, whatever
    // the list has done meanwhile.
    if (card.ContactsChanged())
        ReadContactFromCard(card);
    const int current = book.CurrentContact;
    const bool valid = current >= 1 && current <= book.ContactCount &&
                       size_t(current) < book.Contacts.size();
    if (valid) {
        const ContactRecord& r = book.Contacts[current];
        card.SetShownContact(r.Serial());
        for (int i = 0; i < 12; ++i)
            card.Box(i)->setPlainText(r.Field(ContactField::CardFields[i]));
    } else {
        // No contact: empty boxes that take no typing.
        card.SetShownContact(0);
        for (int i = 0; i < 12; ++i)
            card.Box(i)->setPlainText(QString());
    }
    card.ShowStartOfBoxes();
    card.lblID->setText(QStringLiteral(" %1 of  %2").arg(current).arg(book.ContactCount));
    card.lblID->adjustSize();
    // An edit is what the user types after this, not the change of contact.
    card.ResetEditBaseline();
    card.SetContactsChanged(false);
}

bool ReadContactFromCard(frmContactDetails& card)
{
    CardTexts texts;
    for (int i = 0; i < 12; ++i)
        texts[i] = card.BoxText(i);
    if (card.Book().WriteCardToContact(card.ShownContact(), texts) == CardWrite::TooLong) {
        ReportFailure(QStringLiteral("The contact was not saved: ") + CardTooLongMessage());
        return false;
    }
    // Written, unchanged, or the contact is no longer in the book (deleted
    // while the card showed it): the card holds no edit for the table now.
    card.SetContactsChanged(false);
    return true;
}

void frmContactDetails::lbl_MouseDown(int index, Qt::MouseButton button)
{
    if (m_shownContact == 0) {
        if (index >= 0 && index < 12 && CardBoxes[index].stat != CardStat::None)
            platform().Beep();  // no contact on the card to change
        return;
    }
    QPlainTextEdit* box = index >= 0 && index < 12 ? Box(index) : nullptr;
    const QString before = box ? box->toPlainText() : QString();
    ToggleChatField(index, button == Qt::RightButton ? 1 : -1);
    // A click that changes the field marks the contact, so the change is
    // saved like a typed one.
    if (box && box->toPlainText() != before)
        m_contactsChanged = true;
}

void frmContactDetails::ToggleChatField(int i, int addNumber)
{
    if (i < 0 || i >= int(CardBoxes.size()))
        return;
    const CardBox& b = CardBoxes[i];
    QPlainTextEdit* box = Box(i);
    switch (b.stat) {
    case CardStat::Number: {
        const double value = ReadLeadingNumber(box->toPlainText()) + addNumber;
        if (std::isfinite(value))  // a number too large to step stays as it is
            box->setPlainText(FormatStatNumber(value));
        break;
    }
    case CardStat::Options: {
        QString v[6];
        for (int k = 0; k < 6; ++k)
            v[k] = QString::fromLatin1(b.options[k]);  // a null value gives the empty text
        ToggleOptions(box, v[0], v[1], v[2], v[3], v[4], v[5]);
        break;
    }
    case CardStat::None:
        break;
    }
}

void frmContactDetails::ToggleOptions(QPlainTextEdit* ctl, const QString& t1, const QString& t2,
                                      const QString& t3, const QString& t4, const QString& t5,
                                      const QString& t6)
{
    const QString t = ctl->toPlainText();
    const QString* values[6] = {&t1, &t2, &t3, &t4, &t5, &t6};
    // From the last value down: the first non-empty value equal to the text
    // moves it to the next value (t6 back to t1).
    for (int k = 5; k >= 0; --k) {
        if (!values[k]->isEmpty() && t == *values[k]) {
            ctl->setPlainText(k == 5 ? t1 : *values[k + 1]);
            return;
        }
    }
    if (t.isEmpty())
        ctl->setPlainText(t1);
}
