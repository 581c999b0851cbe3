#include "core/phrases/PasteTarget.h"

void PasteTarget::ActiveWindowChanged(WindowId active, const WindowSet& ownWindows)
{
    if (active != 0 && !ownWindows.contains(active))
        m_remembered = active;
}

PasteTarget::WindowId PasteTarget::BeginPaste(bool rememberedExists, const WindowSet& ownWindows)
{
    m_target = 0;
    m_checksLeft = 0;
    if (m_remembered == 0)
        return 0;
    if (!rememberedExists || ownWindows.contains(m_remembered)) {
        // A window that is gone is forgotten: its id may come back as
        // another program's window.
        m_remembered = 0;
        return 0;
    }
    m_target = m_remembered;
    m_checksLeft = kFocusChecks;
    return m_target;
}

PasteTarget::Step PasteTarget::CheckFocus(WindowId active, bool focusInTarget)
{
    if (m_target == 0)
        return Step::GiveUp;
    if (active == m_target && focusInTarget) {
        m_target = 0;
        m_checksLeft = 0;
        return Step::Paste;
    }
    if (--m_checksLeft <= 0) {
        m_target = 0;
        return Step::GiveUp;
    }
    return Step::Wait;
}
