#include "ui/phrases/frmPhrases.h"

#include "core/phrases/PhraseList.h"
#include "core/settings/Settings.h"
#include "ui/desktop/Desktop.h"
#include "ui/desktop/Twips.h"
#include "ui/desktop/WindowControl.h"
#include "ui/phrases/PhrasePaste.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalBlocker>

namespace {

const QString kAddPrompt = QStringLiteral(
    "Enter Phrase to add to List.\r\n"
    "You can use these phrases by doubleclicking them which copies them to the windows "
    "clipboard, then go to the chat session you are in and press [CTRL] V  to paste the phrase "
    "as if you have typed it.  This will save you a lot of typing to commonly asked questions , "
    "eg 'What are your stats?'");

} // namespace

void CopyTextToClipboard(const QString& text)
{
    desktop().ClipboardClear();
    desktop().ClipboardSetText(text);
}

frmPhrases::frmPhrases(PhraseList& phrases, Settings& settings)
    : m_phrases(phrases), m_settings(settings)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Phrases to Paste into Chat Sessions"));
    resize(TwipsToPixels(4425), TwipsToPixels(3195));

    lstPhrases = new QListWidget(this);
    lstPhrases->setObjectName(QStringLiteral("lstPhrases"));
    lstPhrases->setGeometry(TwipsRect(0, 0, 4425, 2310));
    QFont font(QStringLiteral("Arial Narrow"));
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    lstPhrases->setFont(font);
    lstPhrases->setToolTip(QStringLiteral("Right Mouse Click for Menu"));
    lstPhrases->setSelectionMode(QAbstractItemView::SingleSelection);
    // Every item is one line of the same font: without this the view
    // measures all items before it first shows.
    lstPhrases->setUniformItemSizes(true);
    lstPhrases->viewport()->installEventFilter(this);
    lstPhrases->installEventFilter(this);

    txtPhrase = new QLineEdit(this);
    txtPhrase->setObjectName(QStringLiteral("txtPhrase"));
    txtPhrase->setMaxLength(kMaxListItemLength);
    txtPhrase->setFocusPolicy(Qt::NoFocus);
    txtPhrase->hide();

    mnuPhrase = new QMenu(QStringLiteral("Phrases"), this);
    mnuPhraseCopy = mnuPhrase->addAction(QStringLiteral("Copy Phrase to Clipboard"), this, &frmPhrases::Copy);
    mnuPhraseDummy1 = mnuPhrase->addSeparator();
    mnuPhraseFind = mnuPhrase->addAction(QStringLiteral("Find Phrase"), this, &frmPhrases::Find);
    mnuPhraseAdd = mnuPhrase->addAction(QStringLiteral("Add Phrase To List"), this, &frmPhrases::Add);
    mnuPhraseEdit = mnuPhrase->addAction(QStringLiteral("Edit Phrase in List"), this, &frmPhrases::Edit);
    mnuPhraseRemove =
        mnuPhrase->addAction(QStringLiteral("Remove Phrase from List"), this, &frmPhrases::Remove);

    // A click on the item that is already selected makes it the current
    // phrase again (after an edit it brings the new text).
    connect(lstPhrases, &QListWidget::itemSelectionChanged, this, &frmPhrases::Selection);
    connect(lstPhrases, &QListWidget::itemClicked, this, &frmPhrases::Selection);
    connect(lstPhrases, &QListWidget::itemDoubleClicked, this, &frmPhrases::DoubleClick);

    connect(&m_phrases, &PhraseList::reloaded, this, &frmPhrases::ShowAll);
    connect(&m_phrases, &PhraseList::added, this,
            [this](int row) { lstPhrases->insertItem(row, m_phrases.At(row)); });
    connect(&m_phrases, &PhraseList::changed, this,
            [this](int row) { lstPhrases->item(row)->setText(m_phrases.At(row)); });
    connect(&m_phrases, &PhraseList::removed, this, &frmPhrases::ShowRemoved);
}

void frmPhrases::Load() { m_phrases.Load(m_settings.PhraseListFile); }

void frmPhrases::ShowAll()
{
    m_closeRefused = false;
    // The list read anew (a file another program put in place) keeps the
    // selected phrase selected where it is still there: at its row, or else
    // where it first appears.
    const int row = SelectedRow();
    const QString selected = row >= 0 ? lstPhrases->item(row)->text() : QString();
    const QSignalBlocker blocker(lstPhrases);
    lstPhrases->clear();
    lstPhrases->addItems(m_phrases.Phrases());
    int again = -1;
    if (row >= 0)
        again = m_phrases.At(row) == selected && row < m_phrases.Count()
                    ? row
                    : int(m_phrases.Phrases().indexOf(selected));
    if (again < 0) {
        txtPhrase->clear();
        return;
    }
    lstPhrases->setCurrentRow(again);
    txtPhrase->setText(selected);
}

void frmPhrases::ShowRemoved(int row)
{
    {
        // The view would select the neighbour of the removed item; after a
        // removal nothing is selected and the current phrase stays.
        const QSignalBlocker blocker(lstPhrases);
        delete lstPhrases->takeItem(row);
        lstPhrases->selectionModel()->clear();
    }
    lstPhrases->viewport()->update();
}

void frmPhrases::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The list fills the window; a size that would be negative is skipped.
    const QRect list = lstPhrases->geometry();
    const int height = this->height() - list.top();
    const int width = this->width() - list.left();
    if (height >= 0)
        lstPhrases->resize(lstPhrases->width(), height);
    if (width >= 0)
        lstPhrases->resize(width, lstPhrases->height());
}

bool frmPhrases::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lstPhrases->viewport()) {
        const QEvent::Type type = event->type();
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick ||
            type == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::RightButton) {
                // The right button opens the menu and leaves the selection alone.
                if (type != QEvent::MouseButtonRelease)
                    mnuPhrase->popup(mouse->globalPosition().toPoint());
                return true;
            }
        }
    }
    if (watched == lstPhrases) {
        // The keys are taken before the list's own: its Ctrl+C would copy
        // the item past the program's clipboard.
        if (event->type() == QEvent::KeyPress && ListKey(static_cast<QKeyEvent*>(event)))
            return true;
        // The menu key, where the window system turns it into a menu request.
        if (event->type() == QEvent::ContextMenu &&
            static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
            ShowMenuAtSelection();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool frmPhrases::ListKey(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (event->matches(QKeySequence::Copy) ||
        ((key == Qt::Key_Return || key == Qt::Key_Enter) && modifiers == Qt::NoModifier)) {
        // The selected phrase goes as a double click on it sends it: the
        // click makes it the current phrase, the double click copies it.
        if (SelectedRow() >= 0) {
            Selection();
            DoubleClick();
        }
        return true;
    }
    if ((key == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
        (key == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
        ShowMenuAtSelection();
        return true;
    }
    return false;
}

void frmPhrases::ShowMenuAtSelection()
{
    // One menu at a time: the window system may send both a menu request
    // and the key itself.
    if (mnuPhrase->isVisible())
        return;
    const int row = SelectedRow();
    QPoint at = lstPhrases->mapToGlobal(QPoint(0, 0));
    if (row >= 0) {
        QListWidgetItem* item = lstPhrases->item(row);
        lstPhrases->scrollToItem(item);
        at = lstPhrases->viewport()->mapToGlobal(lstPhrases->visualItemRect(item).bottomLeft());
    }
    mnuPhrase->popup(at);
}

void frmPhrases::keyPressEvent(QKeyEvent* event)
{
    // Escape closes the window as its close box does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

int frmPhrases::SelectedRow() const
{
    const QList<QListWidgetItem*> selected = lstPhrases->selectedItems();
    return selected.isEmpty() ? -1 : lstPhrases->row(selected.first());
}

void frmPhrases::Selection()
{
    const int row = SelectedRow();
    if (row >= 0)
        txtPhrase->setText(lstPhrases->item(row)->text());
}

void frmPhrases::DoubleClick()
{
    Copy();
    if (m_settings.HidePhraseListWhenDbleClicked == 1)
        hide();
    if (!txtPhrase->text().isEmpty())
        PasteCopiedPhrase(m_settings);
}

void frmPhrases::Copy()
{
    // Before any phrase has been selected there is nothing to copy.
    if (!txtPhrase->text().isEmpty())
        CopyTextToClipboard(txtPhrase->text());
}

QString frmPhrases::Ask(const QString& prompt, const QString& title, const QString& defaultText)
{
    return desktop().InputBox(prompt, title, defaultText, WindowLeft(*this), WindowTop(*this));
}

QString frmPhrases::AskForPhrase(const QString& prompt, const QString& title,
                                 const QString& defaultText)
{
    // One phrase is one line of the file: line breaks pasted into the box go.
    QString answer = Ask(prompt, title, defaultText);
    answer.remove(QLatin1Char('\r'));
    answer.remove(QLatin1Char('\n'));
    return answer;
}

void frmPhrases::Add()
{
    if (!m_phrases.HasRoom())
        return;
    const QString answer =
        AskForPhrase(kAddPrompt, QStringLiteral("Adding Phrase to List"), QString());
    if (answer.isEmpty())
        return;
    m_phrases.Add(answer);
}

void frmPhrases::Edit()
{
    int row = SelectedRow();
    if (row < 0)
        return;
    const QString before = lstPhrases->item(row)->text();
    const QString answer = AskForPhrase(QStringLiteral("Edit Phrase "),
                                        QStringLiteral("Editing Existing Phrase in List"), before);
    if (answer.isEmpty())
        return;
    // The list may have been read anew while the box was open (another
    // program replaced its file): the phrase is where the selection kept it,
    // and when it is gone the edited text is added, never written over
    // another phrase.
    if (m_phrases.At(row) != before)
        row = SelectedRow();
    if (row < 0 || m_phrases.At(row) != before)
        m_phrases.Add(answer);
    else
        m_phrases.Edit(row, answer);
}

void frmPhrases::Remove()
{
    const int row = SelectedRow();
    if (row < 0)
        return;
    m_phrases.Remove(row);
}

void frmPhrases::Find()
{
    const QString answer =
        Ask(QStringLiteral("Enter Phrase to search for"), QStringLiteral("Looking for Phrase"), QString());
    const int row = m_phrases.Find(answer, SelectedRow());
    if (row < 0)
        return;
    lstPhrases->setCurrentRow(row);
    Selection();
}

bool frmPhrases::SaveUnsavedPhrases() { return m_phrases.SaveUnsaved(); }

void frmPhrases::closeEvent(QCloseEvent* event)
{
    // Closing unloads the window and its list. A list whose last save failed
    // is saved once more first; if that fails too, the window stays open
    // once so the phrases are not lost, and closing it again closes it.
    if (!SaveUnsavedPhrases() && !m_closeRefused) {
        m_closeRefused = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}
