#include "platform/desktop_notices.h"

#include <deque>

#include <wx/notifmsg.h>

namespace
{
// The toolkit's balloon: the shell shows it without making us wait.
class BalloonNotices final : public DesktopNotices
{
public:
    explicit BalloonNotices(wxWindow* parent) : m_parent(parent) {}

    void Show(const wxString& title, const wxString& text) override
    {
        auto message = std::make_unique<wxNotificationMessage>(title, text, m_parent);
        message->Show(wxNotificationMessage::Timeout_Auto);
        // Kept while the shell may still show it.
        m_shown.push_back(std::move(message));
        if (m_shown.size() > 8)
            m_shown.pop_front();
    }

private:
    wxWindow* m_parent;
    std::deque<std::unique_ptr<wxNotificationMessage>> m_shown;
};
}  // namespace

std::unique_ptr<DesktopNotices> CreateDesktopNotices(wxWindow* parent)
{
    return std::make_unique<BalloonNotices>(parent);
}
