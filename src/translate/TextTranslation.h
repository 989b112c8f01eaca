#pragma once

#include "ProxySettings.h"

#include <QString>

#include <functional>

class ServiceClient;

// A translation run over a text instead of the window's panes, for the command
// line and for other programs: the same checks, cleaning, chunking and
// exchange as the window's run. The text goes in as if pasted into the source
// pane; each chunk's translation comes out as the paragraph the target pane
// would get, so the paragraphs joined by line feeds are the pane's text.
class TextTranslation {
public:
    TextTranslation(ServiceClient& client, const ProxySettings& proxy);

    // Each chunk's translation, in order, as soon as it arrives.
    std::function<void(const QString& paragraph)> paragraph;
    // The run's status line: the start, the progress before each chunk, "Done.".
    std::function<void(const QString& status)> status;
    // Once the checks have passed, before the first request (starts the built-in service).
    std::function<void()> prepareService;

    // Translates `text` from the list position `source` to `target`. Returns
    // the message of a refusal (nothing to translate, a language missing or
    // the same on both sides) in the window's words without its "ERROR: ",
    // empty once every chunk is translated. A failed exchange throws ServiceError.
    QString Run(const QString& text, int source, int target);

    // Runs and returns the whole translation as the target pane would hold it,
    // or the refusal in `refusal`.
    QString Translate(const QString& text, int source, int target, QString& refusal);

private:
    using Sink = std::function<void(const QString& paragraph)>;
    QString RunInto(const QString& text, int source, int target, const Sink& sink);

    ServiceClient& m_client;
    const ProxySettings& m_proxy;
};
