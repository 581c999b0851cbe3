#include "ui/phrases/PhrasePaste.h"

#include "core/phrases/PasteTarget.h"
#include "ui/desktop/PasteWindows.h"
#include "core/settings/Settings.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

namespace {

constexpr int kFollowMs = 250;      // how often the active window is looked at
constexpr int kFocusCheckMs = 100;  // PasteTarget::kFocusChecks of these: about 1 s

// Polls the window manager's active window (no event mask on another
// client's root window to share or restore, and nothing to miss when the
// program was busy) and runs one paste at a time.
class PhrasePaster : public QObject {
public:
    explicit PhrasePaster(QObject* parent) : QObject(parent)
    {
        m_follow.setInterval(kFollowMs);
        connect(&m_follow, &QTimer::timeout, this, &PhrasePaster::LookAtActiveWindow);
        m_focusCheck.setInterval(kFocusCheckMs);
        connect(&m_focusCheck, &QTimer::timeout, this, &PhrasePaster::CheckFocus);
    }

    void Follow(bool on)
    {
        if (!on) {
            m_follow.stop();
            m_focusCheck.stop();
            return;
        }
        if (!m_follow.isActive()) {
            LookAtActiveWindow();
            m_follow.start();
        }
    }

    void Begin()
    {
        PasteWindows& windows = pasteWindows();
        LookAtActiveWindow();
        const PasteTarget::WindowId remembered = m_target.Remembered();
        const PasteTarget::WindowId target = m_target.BeginPaste(
            remembered != 0 && windows.WindowExists(remembered), windows.OwnWindows());
        if (target == 0) {
            m_focusCheck.stop();
            return;
        }
        windows.Activate(target);
        m_focusCheck.start();
    }

private:
    void LookAtActiveWindow()
    {
        PasteWindows& windows = pasteWindows();
        const PasteTarget::WindowId active = windows.ActiveWindow();
        if (active == m_lastActive)
            return;
        m_lastActive = active;
        m_target.ActiveWindowChanged(active, windows.OwnWindows());
    }

    void CheckFocus()
    {
        PasteWindows& windows = pasteWindows();
        const PasteTarget::WindowId target = m_target.Target();
        const PasteTarget::WindowId active = windows.ActiveWindow();
        const bool focused = target != 0 && active == target && windows.FocusWithin(target);
        switch (m_target.CheckFocus(active, focused)) {
        case PasteTarget::Step::Paste:
            m_focusCheck.stop();
            windows.SendPasteKeys();
            break;
        case PasteTarget::Step::GiveUp:
            m_focusCheck.stop();
            break;
        case PasteTarget::Step::Wait:
            break;
        }
    }

    QTimer m_follow;
    QTimer m_focusCheck;
    PasteTarget m_target;
    PasteTarget::WindowId m_lastActive = 0;
};

PhrasePaster& Paster()
{
    static QPointer<PhrasePaster> paster;
    if (!paster)
        paster = new PhrasePaster(QCoreApplication::instance());
    return *paster;
}

}  // namespace

QString PasteUnavailableReason() { return pasteWindows().Unavailable(); }

void FollowActiveWindow(const Settings& settings)
{
    Paster().Follow(settings.PasteAfterCopy == 1 && PasteUnavailableReason().isEmpty());
}

void PasteCopiedPhrase(const Settings& settings)
{
    if (settings.PasteAfterCopy != 1 || !PasteUnavailableReason().isEmpty())
        return;
    // After the events of the copy and of hiding the phrase window.
    QTimer::singleShot(0, &Paster(), [] { Paster().Begin(); });
}
