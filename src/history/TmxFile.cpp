#include "TmxFile.h"

#include "History.h"
#include "LanguageTable.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>
#include <QXmlStreamWriter>

#include <libxml/xmlreader.h>

#include <memory>

namespace {

// Property types that keep what made a piece, so that a file written here reads back as it was.
const char* const EndpointProperty = "x-linguaro-endpoint";
const char* const VersionProperty = "x-linguaro-engine-version";

QString tmxDate(const QDateTime& time) { return time.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")); }

QDateTime fromTmxDate(const QString& text)
{
    const QDateTime local = QDateTime::fromString(text, QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    return local.isValid() ? QDateTime(local.date(), local.time(), Qt::UTC) : QDateTime();
}

// XML 1.0 holds no control characters but tab and line ends, and no lone surrogates.
QString xmlSafe(const QString& text)
{
    QString safe;
    safe.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            safe += c;
            safe += text.at(++i);
        } else if (!c.isSurrogate() && c.unicode() != 0xFFFE && c.unicode() != 0xFFFF
                   && (c.unicode() >= 0x20 || c == u'\t' || c == u'\n' || c == u'\r')) {
            safe += c;
        }
    }
    return safe;
}

// Text as element content: a reader turns a bare carriage return into a line
// feed, so each goes as a character reference and comes back as it was.
void writeText(QXmlStreamWriter& xml, const QString& text)
{
    const QStringList parts = xmlSafe(text).split(u'\r');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0)
            xml.writeEntityReference(QStringLiteral("#13"));
        if (!parts.at(i).isEmpty())
            xml.writeCharacters(parts.at(i));
    }
}

QString text(const xmlChar* text) { return text ? QString::fromUtf8(reinterpret_cast<const char*>(text)) : QString(); }

// An attribute of the reader's element; empty when it has none.
QString attribute(xmlTextReaderPtr reader, const char* name)
{
    xmlChar* value = xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(name));
    const QString text = ::text(value);
    xmlFree(value);
    return text;
}

QString xmlLang(xmlTextReaderPtr reader)
{
    // TMX 1.4 names it xml:lang, older files lang
    xmlChar* value =
        xmlTextReaderGetAttributeNs(reader, reinterpret_cast<const xmlChar*>("lang"),
                                    reinterpret_cast<const xmlChar*>("http://www.w3.org/XML/1998/namespace"));
    const QString text = ::text(value);
    xmlFree(value);
    return text.isEmpty() ? attribute(reader, "lang") : text;
}

// One <tu> as read: its languages and texts, in order.
struct Unit {
    QString sourceLanguage;
    QDateTime created;
    QString endpoint;
    QString engineVersion;
    QList<std::pair<QString, QString>> variants;  // xml:lang, text
};

class Reader {
public:
    Reader(const QString& path, History::SegmentSink add) : m_path(path), m_add(std::move(add)) {}

    // False with `problem` set when the file cannot be taken whole.
    bool read(QString& problem, qint64& units, qint64& skipped);

private:
    bool fail(const QString& why)
    {
        if (m_problem.isEmpty())
            m_problem = why;
        return false;
    }
    bool element(xmlTextReaderPtr reader, const QString& name, bool empty);
    bool endElement(const QString& name);
    bool finishUnit();

    QString m_path;
    History::SegmentSink m_add;
    QString m_problem;
    bool m_seenRoot = false;
    QString m_headerSource;
    std::unique_ptr<Unit> m_unit;
    QString m_variantLanguage;
    QString m_propertyType;
    QString m_property;
    bool m_inProperty = false;
    bool m_inSegment = false;
    int m_codeDepth = 0;  // inside inline codes (<ph>, <bpt>, ...), whose text is the original's markup
    QString m_segment;
    qint64 m_units = 0;
    qint64 m_skipped = 0;
};

void collectError(void* context, const char* message, xmlParserSeverities severity, xmlTextReaderLocatorPtr locator)
{
    auto* first = static_cast<QString*>(context);
    if (!first->isEmpty()
        || (severity != XML_PARSER_SEVERITY_ERROR && severity != XML_PARSER_SEVERITY_VALIDITY_ERROR
            && severity != XML_PARSER_SEVERITY_WARNING))
        return;
    *first = QStringLiteral("line %1: %2")
                 .arg(xmlTextReaderLocatorLineNumber(locator))
                 .arg(QString::fromUtf8(message).trimmed());
}

bool Reader::read(QString& problem, qint64& units, qint64& skipped)
{
    // entities are never replaced nor fetched, nor anything from the network
    const int options = XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;
    const QByteArray file = QFile::encodeName(m_path);
    std::unique_ptr<xmlTextReader, void (*)(xmlTextReaderPtr)> reader(
        xmlReaderForFile(file.constData(), nullptr, options), xmlFreeTextReader);
    bool ok = reader != nullptr || fail(QStringLiteral("%1 cannot be read.").arg(m_path));
    QString parseError;
    if (ok)
        xmlTextReaderSetErrorHandler(reader.get(), collectError, &parseError);
    int rc = 1;
    while (ok && (rc = xmlTextReaderRead(reader.get())) == 1) {
        const int type = xmlTextReaderNodeType(reader.get());
        switch (type) {
        case XML_READER_TYPE_DOCUMENT_TYPE: {
            // a declared entity may stand for a billion others: such a file is not read on
            const xmlDocPtr document = xmlTextReaderCurrentDoc(reader.get());
            const xmlDtdPtr subset = document ? document->intSubset : nullptr;
            if (subset && (subset->entities || subset->pentities))
                ok = fail(QStringLiteral("%1 declares entities, which are not read.").arg(m_path));
            break;
        }
        case XML_READER_TYPE_ENTITY_REFERENCE:
            ok = fail(QStringLiteral("%1 uses entities, which are not read.").arg(m_path));
            break;
        case XML_READER_TYPE_ELEMENT:
            ok = element(reader.get(), text(xmlTextReaderConstLocalName(reader.get())),
                         xmlTextReaderIsEmptyElement(reader.get()) == 1);
            break;
        case XML_READER_TYPE_END_ELEMENT:
            ok = endElement(text(xmlTextReaderConstLocalName(reader.get())));
            break;
        case XML_READER_TYPE_TEXT:
        case XML_READER_TYPE_CDATA:
        case XML_READER_TYPE_SIGNIFICANT_WHITESPACE:
        case XML_READER_TYPE_WHITESPACE:
            if (m_inSegment && m_codeDepth == 0)
                m_segment += text(xmlTextReaderConstValue(reader.get()));
            else if (m_inProperty)
                m_property += text(xmlTextReaderConstValue(reader.get()));
            break;
        default:
            break;
        }
    }
    if (ok && rc != 0)
        ok = fail(QStringLiteral("%1 is not a sound XML file (%2).")
                      .arg(m_path, parseError.isEmpty() ? QStringLiteral("it breaks off") : parseError));
    if (ok && !m_seenRoot)
        ok = fail(QStringLiteral("%1 is not a TMX file.").arg(m_path));
    problem = m_problem;
    units = m_units;
    skipped = m_skipped;
    return ok;
}

bool Reader::element(xmlTextReaderPtr reader, const QString& name, bool empty)
{
    if (!m_seenRoot) {
        if (name != QLatin1String("tmx"))
            return fail(QStringLiteral("%1 is not a TMX file: it holds <%2> where <tmx> belongs.").arg(m_path, name));
        m_seenRoot = true;
        return true;
    }
    if (name == QLatin1String("header")) {
        m_headerSource = attribute(reader, "srclang");
    } else if (name == QLatin1String("tu")) {
        m_unit = std::make_unique<Unit>();
        m_unit->sourceLanguage = attribute(reader, "srclang");
        if (m_unit->sourceLanguage.isEmpty())
            m_unit->sourceLanguage = m_headerSource;
        m_unit->created = fromTmxDate(attribute(reader, "creationdate"));
        if (empty)
            return finishUnit();
    } else if (!m_unit) {
        return true;
    } else if (name == QLatin1String("prop") && !m_inSegment) {
        m_inProperty = !empty;
        m_propertyType = attribute(reader, "type");
        m_property.clear();
    } else if (name == QLatin1String("tuv")) {
        m_variantLanguage = xmlLang(reader);
    } else if (name == QLatin1String("seg")) {
        m_inSegment = !empty;
        m_segment.clear();
        if (empty)
            m_unit->variants << std::pair{m_variantLanguage, QString()};
    } else if (m_inSegment && !empty
               && (name == QLatin1String("ph") || name == QLatin1String("bpt") || name == QLatin1String("ept")
                   || name == QLatin1String("it") || name == QLatin1String("ut") || name == QLatin1String("sub"))) {
        ++m_codeDepth;
    }
    return true;
}

bool Reader::endElement(const QString& name)
{
    if (!m_unit)
        return true;
    if (name == QLatin1String("tu"))
        return finishUnit();
    if (name == QLatin1String("prop") && m_inProperty) {
        m_inProperty = false;
        if (m_propertyType == QLatin1String(EndpointProperty))
            m_unit->endpoint = m_property;
        else if (m_propertyType == QLatin1String(VersionProperty))
            m_unit->engineVersion = m_property;
    } else if (name == QLatin1String("seg") && m_inSegment) {
        m_inSegment = false;
        m_codeDepth = 0;
        m_unit->variants << std::pair{m_variantLanguage, m_segment};
    } else if (m_inSegment && m_codeDepth > 0
               && (name == QLatin1String("ph") || name == QLatin1String("bpt") || name == QLatin1String("ept")
                   || name == QLatin1String("it") || name == QLatin1String("ut") || name == QLatin1String("sub"))) {
        --m_codeDepth;
    }
    return true;
}

bool Reader::finishUnit()
{
    const std::unique_ptr<Unit> unit = std::move(m_unit);
    m_inSegment = m_inProperty = false;
    m_codeDepth = 0;
    // the unit's source: its srclang's variant, else (srclang "*all*" or none) the first
    qsizetype source = -1;
    for (qsizetype i = 0; i < unit->variants.size() && source < 0; ++i)
        if (unit->variants.at(i).first.compare(unit->sourceLanguage, Qt::CaseInsensitive) == 0)
            source = i;
    if (source < 0 && !unit->variants.isEmpty())
        source = 0;
    const QString sourceCode = source >= 0 ? TmxFile::serviceCode(unit->variants.at(source).first) : QString();
    const QString sourceText = source >= 0 ? unit->variants.at(source).second : QString();
    // a version without its service cannot be matched: such a piece is taken as from another tool
    const bool made = !unit->endpoint.isEmpty();
    qint64 added = 0;
    for (qsizetype i = 0; i < unit->variants.size(); ++i) {
        const QString targetCode = TmxFile::serviceCode(unit->variants.at(i).first);
        if (i == source || sourceCode.isEmpty() || targetCode.isEmpty() || targetCode == sourceCode
            || sourceText.trimmed().isEmpty() || unit->variants.at(i).second.trimmed().isEmpty())
            continue;
        const MemorySegment segment{sourceCode,
                                    targetCode,
                                    made ? unit->endpoint : QString(),
                                    made ? unit->engineVersion : QString(),
                                    sourceText,
                                    unit->variants.at(i).second,
                                    unit->created.isValid() ? unit->created : QDateTime::currentDateTimeUtc()};
        if (!m_add(segment))
            return fail(QStringLiteral("the translation memory could not be written."));
        ++added;
    }
    m_units += added;
    m_skipped += added == 0;
    return true;
}

}  // namespace

namespace TmxFile {

QString languageTag(const QString& serviceCode)
{
    const qsizetype dash = serviceCode.indexOf(u'-');
    return dash < 0 ? serviceCode.toLower() : serviceCode.left(dash).toLower() + serviceCode.mid(dash).toUpper();
}

QString serviceCode(const QString& languageTag)
{
    const QString tag = languageTag.trimmed().replace(u'_', u'-');
    if (tag.isEmpty())
        return {};
    int position = LanguageTable::positionOf(tag);
    // a region or script the lists do not name: the language itself
    if (position < 0 && tag.contains(u'-'))
        position = LanguageTable::positionOf(tag.section(u'-', 0, 0));
    return LanguageTable::serviceCode(position);
}

Outcome Export(History& history, const QString& path, const QString& words)
{
    Outcome outcome;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        outcome.message = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return outcome;
    }
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("tmx"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.4"));
    xml.writeEmptyElement(QStringLiteral("header"));
    xml.writeAttribute(QStringLiteral("creationtool"), QStringLiteral("Linguaro Translator"));
    xml.writeAttribute(QStringLiteral("creationtoolversion"), QCoreApplication::applicationVersion().isEmpty()
                                                                  ? QStringLiteral("1")
                                                                  : QCoreApplication::applicationVersion());
    xml.writeAttribute(QStringLiteral("segtype"), QStringLiteral("sentence"));
    xml.writeAttribute(QStringLiteral("o-tmf"), QStringLiteral("Linguaro"));
    xml.writeAttribute(QStringLiteral("adminlang"), QStringLiteral("en"));
    xml.writeAttribute(QStringLiteral("srclang"), QStringLiteral("*all*"));
    xml.writeAttribute(QStringLiteral("datatype"), QStringLiteral("plaintext"));
    xml.writeAttribute(QStringLiteral("creationdate"), tmxDate(QDateTime::currentDateTimeUtc()));
    xml.writeStartElement(QStringLiteral("body"));
    const bool read = history.forEachSegment(words, [&](const MemorySegment& segment) {
        const QString date = tmxDate(segment.created);
        xml.writeStartElement(QStringLiteral("tu"));
        xml.writeAttribute(QStringLiteral("srclang"), languageTag(segment.sourceCode));
        xml.writeAttribute(QStringLiteral("creationdate"), date);
        for (const auto& [type, value] :
             {std::pair{EndpointProperty, segment.endpoint}, std::pair{VersionProperty, segment.engineVersion}}) {
            if (value.isEmpty())
                continue;
            xml.writeStartElement(QStringLiteral("prop"));
            xml.writeAttribute(QStringLiteral("type"), QLatin1String(type));
            writeText(xml, value);
            xml.writeEndElement();
        }
        for (const auto& [code, text] :
             {std::pair{segment.sourceCode, segment.source}, std::pair{segment.targetCode, segment.translation}}) {
            xml.writeStartElement(QStringLiteral("tuv"));
            xml.writeAttribute(QStringLiteral("xml:lang"), languageTag(code));
            xml.writeAttribute(QStringLiteral("creationdate"), date);
            xml.writeStartElement(QStringLiteral("seg"));
            writeText(xml, text);
            xml.writeEndElement();
            xml.writeEndElement();
        }
        xml.writeEndElement();
        ++outcome.units;
        return !xml.hasError();
    });
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    if (!read) {
        file.cancelWriting();
        outcome.message =
            history.problem().isEmpty() ? QStringLiteral("The translation memory cannot be read.") : history.problem();
        return outcome;
    }
    if (xml.hasError() || !file.commit()) {
        outcome.message = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return outcome;
    }
    outcome.ok = true;
    outcome.message =
        QStringLiteral("%1 translations of the translation memory were written to %2.").arg(outcome.units).arg(path);
    return outcome;
}

Outcome import(History& history, const QString& path)
{
    Outcome outcome;
    const QFileInfo info(path);
    if (!info.exists()) {
        outcome.message = QStringLiteral("%1 does not exist.").arg(path);
        return outcome;
    }
    // a pipe or a device could be read forever
    if (!info.isFile()) {
        outcome.message = QStringLiteral("%1 is not a file.").arg(path);
        return outcome;
    }
    QString problem;
    const bool added = history.addSegments([&](const History::SegmentSink& add) {
        return Reader(path, add).read(problem, outcome.units, outcome.skipped);
    });
    if (!added) {
        outcome.units = 0;
        outcome.message =
            QStringLiteral("Nothing was imported: %1").arg(problem.isEmpty() ? history.problem() : problem);
        return outcome;
    }
    outcome.ok = true;
    outcome.message =
        QStringLiteral("%1 translations were read into the translation memory from %2.").arg(outcome.units).arg(path);
    if (outcome.skipped > 0)
        outcome.message += QStringLiteral(" %1 units were skipped: their languages are not in the lists, or they "
                                          "hold no translation.")
                               .arg(outcome.skipped);
    return outcome;
}

}  // namespace TmxFile
