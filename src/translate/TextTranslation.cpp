#include "TextTranslation.h"

#include "LanguageTable.h"
#include "TextPreparation.h"
#include "TranslationRun.h"

namespace {

// The panes of the window as a run sees them, over a text: no character, no
// read-aloud, no clipboard.
class TextView : public TranslationView {
public:
    using Sink = std::function<void(const QString&)>;

    TextView(const QString& text, int source, int target, TextTranslation& owner, const Sink& sink)
        : m_text(TextPreparation::PlainPaneText(text)), m_source(source), m_target(target), m_owner(owner),
          m_sink(sink)
    {
    }

    QString refusal;

    QString sourcePaneText() override { return m_text; }
    QStringList sourcePaneLines() override { return m_text.split(u'\n'); }
    int sourcePosition() override { return m_source; }
    int targetPosition() override { return m_target; }
    QString sourceDisplayName() override { return LanguageTable::DisplayName(m_source); }
    QString targetDisplayName() override { return LanguageTable::DisplayName(m_target); }
    // the window's wording, without the prefix its message boxes carry
    void showMessage(const QString& text) override
    {
        refusal = text.startsWith(QLatin1String("ERROR: ")) ? text.mid(7) : text;
    }
    void setStatus(const QString& text, bool) override
    {
        if (m_owner.status)
            m_owner.status(text);
    }
    void processPendingEvents() override {}
    void appendTargetParagraph(const QString& text) override
    {
        if (m_sink)
            m_sink(TextPreparation::PlainPaneText(text));
    }
    void caretToTargetStart() override {}
    // only asked for the read-aloud, which never happens here
    QString targetPaneText() override { return {}; }
    void copyTargetToClipboard() override {}
    bool characterPresent() override { return false; }
    void characterThinkOverSource() override {}
    bool agentUnavailable() override { return true; }
    bool readAloudOption() override { return false; }
    bool copyToClipboardOption() override { return false; }
    void setReadTargetOption(bool) override {}
    void readAloud() override {}
    void prepareService() override
    {
        if (m_owner.prepareService)
            m_owner.prepareService();
    }

private:
    QString m_text;
    int m_source;
    int m_target;
    TextTranslation& m_owner;
    const Sink& m_sink;
};

}  // namespace

TextTranslation::TextTranslation(ServiceClient& client, const ProxySettings& proxy)
    : m_client(client), m_proxy(proxy)
{
}

QString TextTranslation::Run(const QString& text, int source, int target)
{
    return RunInto(text, source, target, paragraph);
}

QString TextTranslation::Translate(const QString& text, int source, int target, QString& refusal)
{
    QString pane;
    bool first = true;
    refusal = RunInto(text, source, target, [&](const QString& translated) {
        if (!first)
            pane += QLatin1Char('\n');
        first = false;
        pane += translated;
    });
    return pane;
}

QString TextTranslation::RunInto(const QString& text, int source, int target, const Sink& sink)
{
    TextView view(text, source, target, *this, sink);
    TranslationRun(view, m_client, m_proxy).Run();
    return view.refusal;
}
