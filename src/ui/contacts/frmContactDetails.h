#pragma once

#include <QColor>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <functional>

class ContactStore;
class QWindow;

// Reads the leading number of a text: blanks are skipped, a point is the only
// decimal separator, a text without a leading number reads as 0.
double ReadLeadingNumber(const QString& text);
// A number as stat-field text: a blank before values of 0 and above, no 0
// before the point (" .5", "-.5"), up to 15 significant digits.
QString FormatStatNumber(double value);

class frmContactDetails;

// Copies the current contact into the card and sets its position caption. An
// edit the card still holds for the contact it showed goes into the table
// first.
void ShowContactOnCard(frmContactDetails& card);
// Copies the card back into the contact it shows (never into another one),
// without control characters. False when the table refused the texts (the
// user has been told).
bool ReadContactFromCard(frmContactDetails& card);

// The address-book card: one contact of the book in eleven one-line boxes and
// a notes box. It follows the book: a contact removed or a table loaded anew
// is shown as the book now is.
class frmContactDetails : public QWidget {
    Q_OBJECT
public:
    explicit frmContactDetails(ContactStore& book);
    // Empties the eleven field boxes (the notes box keeps its first text
    // until a contact is shown).
    void Load();

    ContactStore& Book() const { return m_book; }
    // A box was edited and the edit is not yet in the table.
    bool ContactsChanged() const { return m_contactsChanged; }
    void SetContactsChanged(bool changed) { m_contactsChanged = changed; }
    // The text the box that last received the focus held at that moment; one
    // value serves all twelve boxes.
    const QString& FieldTextOnFocus() const { return m_fieldTextOnFocus; }

    // txtField(0..10) for 0 to 10, txtNotes for 11.
    QPlainTextEdit* Box(int index) const { return index < 11 ? txtField[index] : txtNotes; }
    // Every character a box holds (a no-break space stays one), line
    // breaks as "\n".
    QString BoxText(int index) const;
    // The contact the boxes show (its serial number; 0: none). While the
    // card shows no contact its boxes take no typing (a key beeps), so
    // nothing typed there can be dropped unseen.
    quint64 ShownContact() const { return m_shownContact; }
    void SetShownContact(quint64 serial);
    // Every box shows the start of its value, whatever the box showed before.
    void ShowStartOfBoxes();
    // Brings the card up active with the keyboard in the chat-name box (a
    // new contact is typed at once).
    void StartTyping();
    void SetStatFieldsVisible(bool visible);

    // Recolours the card around the focused box: every box olive, every label
    // yellow and regular, then the focused box's label white and bold and the
    // focused box pale yellow with the caret at its end.
    void DisplayNonFocusedFieldsAsGreyedOut(QPlainTextEdit* focusedControl,
                                            QLabel* focusedControlsLabel, QWidget* f,
                                            const QColor& gotFocusColour,
                                            const QColor& greyedColour);
    // Steps a numeric stat field by addNumber or moves an option field on.
    void ToggleChatField(int i, int addNumber);
    // Moves the box's text to the next value of the list t1..t6 (empty values
    // end the list); a text outside the list stays.
    void ToggleOptions(QPlainTextEdit* ctl, const QString& t1 = {}, const QString& t2 = {},
                       const QString& t3 = {}, const QString& t4 = {}, const QString& t5 = {},
                       const QString& t6 = {});

    // Event steps, public so that other windows and tests can drive them.
    void cmdOK_Click();
    void Form_Deactivate();
    void lbl_MouseDown(int index, Qt::MouseButton button);
    // Called before the list window acts: when the card was the
    // program's active window, the card's deactivation runs now, before the
    // list changes the card (the window system may report the activation of
    // the list window only after the click that caused it).
    void CatchUpDeactivation();
    // A new contact on the card: the focused box's text becomes the text it
    // is compared with when it loses the focus.
    void ResetEditBaseline();
    // At program end: a marked edit (or one in the focused box not yet
    // marked) is read back and saved.
    // Saves an edit the card still holds; false when that save failed.
    bool SaveMarkedEditOnExit();
    // Before the book is changed from outside the card (an import, an
    // export that should hold what the card shows, a book another program
    // put in place): an edit the card still
    // holds, marked or still in the focused box, goes into the contact it
    // shows, unsaved. False when the table refused it (the user was told).
    bool WriteEditToContact();
    // Runs a change made to the book from outside the card (an import, an
    // export, a book another program put in place) with what the card holds
    // kept: the edit goes into its contact first (WriteEditToContact), and a
    // new contact with nothing typed yet is taken out for the change, so
    // that it neither saves nor exports an empty contact, and is on the card
    // again, new and empty, after it.
    void KeepThroughOutsideChange(const std::function<void()>& change);
    // Called when the focus moves to another top-level window (nullptr: to
    // another application).
    void OnFocusWindowChanged(QWindow* window);

    std::array<QPlainTextEdit*, 11> txtField{};
    QPlainTextEdit* txtNotes = nullptr;
    std::array<QLabel*, 12> lbl{};
    QLabel* lblID = nullptr;
    QPushButton* cmdOK = nullptr;

protected:
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    int BoxIndex(const QObject* o) const;
    void Box_GotFocus(int index);
    void Box_LostFocus(int index);
    void txtField_Change(int index);
    // Applies the lost-focus rule to the focused box now, and takes its
    // current text as the text on focus so the rule does not fire twice.
    void MarkFocusedBoxEdit();
    // ReadContactFromCard and SaveContacts when the card holds a marked
    // edit. False when the save failed.
    bool SaveIfChanged();
    bool HandleKey(int index, QKeyEvent* key);
    // Cuts the box's text (with a message) when the card's texts would make
    // the contact's line too long to load again.
    void KeepWithinLineLimit(int index);
    // The book removed a contact or loaded its table anew.
    void FollowRemovedContact();
    void FollowReloadedBook();
    // A value the box cannot show whole is the box's tooltip.
    void UpdateBoxToolTip(int index);
    // Every box olive, every label yellow and regular.
    void GreyOut(QWidget* f, const QColor& greyedColour);
    // The focused box is drawn as focused while the card is the active
    // window, and greyed like the others while it is not.
    void DrawFocusForActivation();
    // Keeps the program's window that last had the keyboard before the card
    // (none: another application's); after OK the keyboard goes back there.
    void NoteWindowBeforeCard(QWindow* window);
    void GiveKeyboardBack();

    QPlainTextEdit* m_focusedBox = nullptr;  // the box that last received the focus
    bool m_activeInProgram = false;          // the card is the program's active window
    bool m_saving = false;
    bool m_saveFailed = false;  // the last save failed and nothing was typed since
    bool m_cutting = false;     // KeepWithinLineLimit is changing a box
    bool m_settingAside = false;  // the new contact shown is out of the table for a while
    quint64 m_shownContact = 0;
    ContactStore& m_book;
    bool m_contactsChanged = false;
    QString m_fieldTextOnFocus;
    QPixmap m_background;
    QPointer<QWidget> m_windowBefore;  // see NoteWindowBeforeCard
};
