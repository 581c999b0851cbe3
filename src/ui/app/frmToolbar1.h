#pragma once

#include "ui/widgets/ClickLabel.h"

#include <QLabel>
#include <QMenu>
#include <QString>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

class Settings;

// The clock label: a press is one click; a double click is not a second one.
using ClockLabel = ClickLabel;

// The start-up window: a narrow strip at the top of the screen with four
// picture buttons and a clock. Closing it ends the program.
//
// The toolbar knows no other window: a button or a menu command is a signal,
// and the controller decides what follows.
class frmToolbar1 : public QWidget {
    Q_OBJECT
public:
    explicit frmToolbar1(const Settings& settings);

    // The start-up sequence: the toolbar on the screen, then readyToLoad()
    // (the controller reads the settings and the contacts).
    void Load();
    // The same in two halves, for the program's start: the toolbar on the
    // screen with nothing the first frame does not need (firstPainted()
    // follows once it is drawn), then the rest (the fonts set up, the clock
    // measured) and readyToLoad().
    void ShowFirst();
    void FinishLoad();

    // Clock state: the start time as text, and whether the clock shows the
    // current time (-1) or the start time (0).
    QString StartTime;
    int16_t ShowCurrentTime = -1;

    // Asked before the program ends: saves what would be lost. False when a
    // save failed (the user has been told); the program then stays open once.
    std::function<bool()> SaveBeforeClosing;

    void cmdButton_Click(int index);
    void lblTime_Click();
    // Opens the data folder in the file manager; without one, shows its path
    // and offers to copy it.
    void OpenDataFolder();
    void ShowMenuAtToolbar();
    void Timer1_Timer();

    std::array<QToolButton*, 4> cmdButton{};
    ClockLabel* lblTime = nullptr;
    QTimer* Timer1 = nullptr;
    // The right-click menu: the commands beyond the four buttons.
    QMenu* mnuToolbar = nullptr;
    QAction* mnuRestore = nullptr;
    QAction* mnuDataFolder = nullptr;  // Keep Data in a Folder…
    QAction* mnuPasteAfterCopy = nullptr;  // checkable: [phrases] PasteAfterCopy

signals:
    void firstPainted();
    void readyToLoad();
    void addContactRequested();
    void contactListRequested();
    void phrasesRequested();
    void optionsRequested();
    void restoreRequested();
    // An import or export with the file the user chose; `title` names the
    // command in what is reported.
    void exchangeRequested(const QString& command, const QString& file, const QString& title);
    void pasteAfterCopyToggled(bool on);
    // Keep Data in a Folder…: the folder the user chose.
    void dataFolderRequested(const QString& folder);

protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    // Shift+F10 and the Menu key open the right-click menu under the toolbar.
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    const Settings& m_settings;  // the paste switch's check shows its value
    bool m_closeAfterFailedSave = false;  // a close was refused because a save failed
    // The buttons' pictures, the clock's first text, and the controls shown.
    void CompleteControls();
    void SetClockColour(const QColor& colour);
    void SetClockText(const QString& text);
    bool m_fontsReady = false;  // the font stand-ins are installed (Load)
    bool m_painted = false;     // the first frame is drawn
    bool m_controlsComplete = false;  // CompleteControls has run
    bool m_showingFirst = false;      // ShowFirst is showing the window
};

// Runs a start-up step; an error it raises is shown and logged, and start-up
// carries on.
void RunStartupStep(const char* what, const std::function<void()>& step);
