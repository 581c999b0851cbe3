#include "ui/app/frmToolbar1.h"

#include "core/files/ErrorLog.h"
#include "core/platform/Platform.h"
#include "core/settings/ExchangeFolders.h"
#include "core/settings/Settings.h"
#include "ui/desktop/Desktop.h"
#include "ui/desktop/Fonts.h"
#include "ui/desktop/Twips.h"
#include "ui/desktop/WindowControl.h"
#include "ui/phrases/PhrasePaste.h"
#include "ui/widgets/ToolbarIcons.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QCoreApplication>
#include <QDir>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QUrl>
#include <algorithm>
#include <exception>

namespace {
const QColor kLightGrey(192, 192, 192);
const QColor kDarkBlue(0, 0, 192);
const QColor kRed(255, 0, 0);

// The clock's font size, and the smallest it is drawn at when a text would
// not fit the toolbar otherwise.
constexpr int kClockPixels = 11;
constexpr int kSmallestClockPixels = 8;

struct ButtonSpec {
    int left;
    const char* tooltip;
    QSize iconSize;
};
const ButtonSpec kButtons[4] = {
    {0, "Add new person to Contacts List", {16, 15}},
    {360, "Find and Record Peoples details", {16, 15}},
    {720, "List of Phrases to Use in Chatting", {24, 22}},
    {1080, "Help and Options Setup", {16, 15}},
};
} // namespace

void RunStartupStep(const char* what, const std::function<void()>& step)
{
    QString reason;
    try {
        step();
        return;
    } catch (const std::exception& e) {
        reason = QString::fromLocal8Bit(e.what());
    } catch (...) {
        reason = QStringLiteral("unknown error");
    }
    const QString message =
        QStringLiteral("Could not load the %1: %2").arg(QString::fromLatin1(what), reason);
    LogError(message);
    platform().MessageBox(message);
}

frmToolbar1::frmToolbar1(const Settings& settings) : m_settings(settings)
{
    setWindowTitle(QStringLiteral("Banterly"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kLightGrey);
    setPalette(pal);
    setFixedSize(TwipsToPixels(3330), TwipsToPixels(315));
    // The toolbar is seldom the active window, and its buttons show only
    // pictures: their tooltips show all the same.
    setAttribute(Qt::WA_AlwaysShowToolTips);

    // The controls stay hidden, without their pictures and the clock's text,
    // until the window is shown (CompleteControls).
    for (int i = 0; i < 4; ++i) {
        auto* b = new QToolButton(this);
        b->hide();
        b->setObjectName(QStringLiteral("cmdButton%1").arg(i));
        b->setGeometry(TwipsRect(kButtons[i].left, 0, 355, 315));
        b->setToolTip(QString::fromLatin1(kButtons[i].tooltip));
        b->setIconSize(kButtons[i].iconSize);
        b->setAutoRaise(false);
        b->setFocusPolicy(Qt::TabFocus);
        connect(b, &QToolButton::clicked, this, [this, i] { cmdButton_Click(i); });
        cmdButton[i] = b;
    }

    lblTime = new ClockLabel(this);
    lblTime->hide();
    lblTime->setObjectName(QStringLiteral("lblTime"));
    lblTime->setGeometry(TwipsRect(1620, 90, 915, 195));
    lblTime->setToolTip(QStringLiteral("Double Click to toggle current time and time started"));
    lblTime->setAutoFillBackground(true);
    QFont clockFont(QStringLiteral("MS Sans Serif"));
    clockFont.setPixelSize(kClockPixels);
    lblTime->setFont(clockFont);
    QPalette lp = lblTime->palette();
    lp.setColor(QPalette::Window, kLightGrey);
    lblTime->setPalette(lp);
    SetClockColour(kDarkBlue);
    connect(lblTime, &ClockLabel::clicked, this, &frmToolbar1::lblTime_Click);

    mnuToolbar = new QMenu(this);
    mnuToolbar->setObjectName(QStringLiteral("mnuToolbar"));
    mnuRestore = mnuToolbar->addAction(QStringLiteral("Restore from a Backup\u2026"),
                                       this, &frmToolbar1::restoreRequested);
    mnuRestore->setObjectName(QStringLiteral("mnuRestore"));
    struct Exchange {
        const char* caption;
        const char* command;
        bool save;
        const char* filter;
        const char* suggested;
    };
    static const Exchange kExchanges[4] = {
        {"Import Contacts…", "import-contacts", false, "Address books (*.vcf *.csv)", ""},
        {"Export Contacts…", "export-contacts", true, "vCard (*.vcf);;CSV (*.csv)", "contacts.vcf"},
        {"Import Phrases…", "import-phrases", false, "Text files (*.txt);;All files (*)", ""},
        {"Export Phrases…", "export-phrases", true, "Text files (*.txt)", "phrases-export.txt"},
    };
    for (const Exchange& x : kExchanges) {
        QAction* action = mnuToolbar->addAction(QString::fromUtf8(x.caption));
        connect(action, &QAction::triggered, this, [this, x] {
            const QString title = QString::fromUtf8(x.caption).remove(QChar(u'…'));
            // The dialog opens where the last file of the same kind was.
            const QString command = QString::fromLatin1(x.command);
            const QString kind = command.section(u'-', 1);
            const QString folder = ExchangeFolder(m_settings.IniFile, kind);
            const QString start =
                x.save ? QDir(folder).filePath(QString::fromLatin1(x.suggested)) : folder;
            const QString file =
                desktop().ChooseFile(x.save, title, QString::fromLatin1(x.filter), start);
            if (file.isEmpty())
                return;
            RememberExchangeFolder(m_settings.IniFile, kind, file);
            emit exchangeRequested(command, file, title);
        });
    }
    connect(mnuToolbar->addAction(QStringLiteral("Open Data Folder")), &QAction::triggered, this,
            &frmToolbar1::OpenDataFolder);
    mnuDataFolder = mnuToolbar->addAction(QStringLiteral("Keep Data in a Folder\u2026"));
    mnuDataFolder->setObjectName(QStringLiteral("mnuDataFolder"));
    connect(mnuDataFolder, &QAction::triggered, this, [this] {
        const QString folder = desktop().ChooseFolder(
            QStringLiteral("Keep Data in a Folder"),
            QFileInfo(m_settings.ContactFilePath).absolutePath());
        if (!folder.isEmpty())
            emit dataFolderRequested(folder);
    });
    mnuToolbar->addSeparator();
    mnuPasteAfterCopy = mnuToolbar->addAction(QStringLiteral("Paste Phrases into the Chat Window"));
    mnuPasteAfterCopy->setObjectName(QStringLiteral("mnuPasteAfterCopy"));
    mnuPasteAfterCopy->setCheckable(true);
    connect(mnuPasteAfterCopy, &QAction::triggered, this, [this](bool on) {
        emit pasteAfterCopyToggled(on);
    });
    // The item shows the setting, and is greyed (its tooltip says why) where
    // pasting cannot work.
    mnuToolbar->setToolTipsVisible(true);
    connect(mnuToolbar, &QMenu::aboutToShow, this, [this] {
        const QString unavailable = PasteUnavailableReason();
        mnuPasteAfterCopy->setChecked(m_settings.PasteAfterCopy == 1);
        mnuPasteAfterCopy->setEnabled(unavailable.isEmpty());
        mnuPasteAfterCopy->setToolTip(
            unavailable.isEmpty()
                ? QStringLiteral("A double-clicked phrase is pasted into the window you were in "
                                 "before Banterly")
                : unavailable);
    });

    // A button takes the keyboard only when the user moves to it; the
    // toolbar that merely became active keeps the keys to itself.
    for (QToolButton* b : cmdButton)
        b->installEventFilter(this);

    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &frmToolbar1::Timer1_Timer);
    Timer1->start();
}

void frmToolbar1::CompleteControls()
{
    if (m_controlsComplete)
        return;
    m_controlsComplete = true;
    for (int i = 0; i < 4; ++i)
        cmdButton[i]->setIcon(ToolbarIcon(i));
    // Measured once the fonts are set up (FinishLoad): building a font before
    // the toolbar is on the screen would load the whole font database first.
    lblTime->setText(QStringLiteral("12:33:22 PM"));
    for (QToolButton* b : cmdButton)
        b->show();
    lblTime->show();
}

void frmToolbar1::showEvent(QShowEvent* e)
{
    // Shown other than by ShowFirst: the controls come with the window.
    if (!m_showingFirst)
        CompleteControls();
    QWidget::showEvent(e);
}

void frmToolbar1::SetClockColour(const QColor& colour)
{
    QPalette lp = lblTime->palette();
    lp.setColor(QPalette::WindowText, colour);
    lblTime->setPalette(lp);
}

void frmToolbar1::SetClockText(const QString& text)
{
    // The label grows from its designed width to its text's, up to the
    // toolbar's right edge; a text wider than that is drawn smaller, down to
    // the smallest clock size, and past that the label keeps the full width
    // and cuts the text's end.
    if (!m_fontsReady) {
        lblTime->setText(text);
        return;
    }
    const int designedWidth = TwipsToPixels(915);
    const QMargins margins = lblTime->contentsMargins();
    const int chrome = margins.left() + margins.right() + 2 * lblTime->margin();
    const int available = width() - lblTime->x();
    QFont font = lblTime->font();
    int needed = 0;
    for (int pixels = kClockPixels; pixels >= kSmallestClockPixels; --pixels) {
        font.setPixelSize(pixels);
        needed = QFontMetrics(font).horizontalAdvance(text) + chrome;
        if (needed <= available)
            break;
    }
    if (font != lblTime->font())
        lblTime->setFont(font);
    lblTime->setText(text);
    lblTime->resize(std::clamp(needed, designedWidth, std::max(available, designedWidth)),
                    lblTime->height());
}

void frmToolbar1::Load()
{
    ShowFirst();
    FinishLoad();
    // Start-up lets pending window events run once, so the toolbar is drawn
    // before the files are read.
    desktop().DoEvents();
    emit readyToLoad();
}

void frmToolbar1::ShowFirst()
{
    Desktop& d = desktop();
    StartTime = FormatTimeOfDay(platform().Now().time());
    ShowCurrentTime = -1;
    setWindowTitle(QStringLiteral("Banterly"));
    MoveWindow(*this, d.ScreenWidthTwips() / 2, 0);
    // The window's map request goes out first, the controls follow before
    // its first frame. The first text set or control shown starts the
    // accessibility bridge, which connects to the session bus (or, without
    // one, starts a program to find it) and asks the X server for a
    // property: done before the map, that delayed it by milliseconds.
    m_showingFirst = true;
    SetTopmost(*this, -1);
    m_showingFirst = false;
    CompleteControls();
}

void frmToolbar1::FinishLoad()
{
    // Building the fonts loads the whole font database: the clock is drawn
    // with the stand-ins from the next frame on.
    InstallFontStandIns();
    m_fontsReady = true;
    SetClockText(lblTime->text());
}

void frmToolbar1::paintEvent(QPaintEvent* e)
{
    QWidget::paintEvent(e);
    if (m_painted)
        return;
    m_painted = true;
    // Announced once this frame is out, from the event loop.
    QTimer::singleShot(0, this, &frmToolbar1::firstPainted);
}

void frmToolbar1::cmdButton_Click(int index)
{
    switch (index) {
    case 0:
        emit addContactRequested();
        break;
    case 1:
        emit contactListRequested();
        break;
    case 2:
        emit phrasesRequested();
        break;
    case 3:
        emit optionsRequested();
        break;
    default:
        break;
    }
}

void frmToolbar1::lblTime_Click()
{
    if (ShowCurrentTime) {
        SetClockText(QStringLiteral("Started ") + StartTime);
        SetClockColour(kRed);
        ShowCurrentTime = 0;
    } else {
        SetClockText(FormatTimeOfDay(platform().Now().time()));
        SetClockColour(kDarkBlue);
        ShowCurrentTime = -1;
    }
}

void frmToolbar1::Timer1_Timer()
{
    if (ShowCurrentTime)
        SetClockText(FormatTimeOfDay(platform().Now().time()));
    else
        SetClockText(QStringLiteral("Started ") + StartTime);
}

void frmToolbar1::contextMenuEvent(QContextMenuEvent* e)
{
    e->accept();
    if (e->reason() == QContextMenuEvent::Keyboard)
        ShowMenuAtToolbar();
    else if (!mnuToolbar->isVisible())
        mnuToolbar->popup(e->globalPos());
}

void frmToolbar1::keyPressEvent(QKeyEvent* e)
{
    const Qt::KeyboardModifiers modifiers = e->modifiers() & ~Qt::KeypadModifier;
    if ((e->key() == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
        (e->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
        ShowMenuAtToolbar();
        return;
    }
    QWidget::keyPressEvent(e);
}

void frmToolbar1::ShowMenuAtToolbar()
{
    // One menu at a time: the window system may send both a menu request
    // and the key itself.
    if (mnuToolbar->isVisible() || mnuToolbar->actions().isEmpty())
        return;
    mnuToolbar->popup(mapToGlobal(QPoint(0, height())));
    // Opened from the keyboard, the first command is chosen already.
    mnuToolbar->setActiveAction(mnuToolbar->actions().constFirst());
}

bool frmToolbar1::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::FocusIn) {
        switch (static_cast<QFocusEvent*>(e)->reason()) {
        case Qt::TabFocusReason:
        case Qt::BacktabFocusReason:
        case Qt::PopupFocusReason:
        case Qt::MouseFocusReason:
        case Qt::ShortcutFocusReason:
            break;
        default:
            // Given to a button because the toolbar became active: a key
            // meant for another window must not press it. Tab still reaches
            // the buttons from here.
            setFocus(Qt::OtherFocusReason);
            break;
        }
    }
    return QWidget::eventFilter(watched, e);
}

void frmToolbar1::OpenDataFolder()
{
    const QString folder = QDir::toNativeSeparators(platform().ProgramFolder());
    if (desktop().OpenUrl(QUrl::fromLocalFile(folder).toString()))
        return;
    // No file manager: the path is shown instead, ready to copy.
    if (desktop().MessageBoxWithAction(
            QStringLiteral("No program could open the data folder. Banterly keeps its files in:\n\n") +
                folder,
            QStringLiteral("Copy Path")))
        desktop().ClipboardSetText(folder);
}

void frmToolbar1::closeEvent(QCloseEvent* e)
{
    // Closing the toolbar ends the program at once; no other window runs
    // its closing logic. Only data that would be lost is saved first
    // (SaveBeforeClosing). When such a save fails (the user has just been
    // told why) the program stays open once, so the data can still be saved;
    // closing it again ends it.
    const bool saved = !SaveBeforeClosing || SaveBeforeClosing();
    if (!saved && !m_closeAfterFailedSave) {
        m_closeAfterFailedSave = true;
        e->ignore();
        return;
    }
    e->accept();
    QCoreApplication::exit(0);
}
