#include "listing/JsonListingReader.h"

#include "platform/StoredTexts.h"
#include "platform/Utf8.h"

#include <charconv>
#include <vector>

namespace quillon {

namespace {

constexpr std::size_t kChunk = 1 << 16;
constexpr int kMaxDepth = 64;

// A value of the header, which is small enough to hold whole.
struct Value {
    enum Type { Null, Bool, Number, String, Array, Object } type = Null;
    std::string text;              // string content, number as written, "true"/"false"
    std::vector<std::string> keys; // of an object, with its values in items
    std::vector<Value> items;

    const Value* member(std::string_view key) const
    {
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (keys[i] == key)
                return &items[i];
        return nullptr;
    }
    QString qtext() const { return type == String ? QString::fromStdString(text) : QString(); }
};

} // namespace

// The JSON tokens of a device, read in chunks.
class JsonListingReader::Tokens {
public:
    explicit Tokens(QIODevice& in) : m_in(in) {}

    // The next character that is not white space, without taking it; -1 at the end.
    int peek()
    {
        for (;;) {
            if (m_pos == m_buf.size() && !refill())
                return -1;
            const char c = m_buf[m_pos];
            if (c != ' ' && c != '\n' && c != '\r' && c != '\t')
                return static_cast<unsigned char>(c);
            ++m_pos;
        }
    }
    bool take(char c)
    {
        if (peek() != static_cast<unsigned char>(c))
            return false;
        ++m_pos;
        return true;
    }
    bool string(std::string& out)
    {
        out.clear();
        if (!take('"'))
            return false;
        for (;;) {
            if (m_pos == m_buf.size() && !refill())
                return false;
            // Copy the plain run at once.
            std::size_t end = m_pos;
            while (end < m_buf.size() && m_buf[end] != '"' && m_buf[end] != '\\' &&
                   static_cast<unsigned char>(m_buf[end]) >= 0x20)
                ++end;
            out.append(m_buf, m_pos, end - m_pos);
            m_pos = end;
            if (m_pos == m_buf.size())
                continue;
            const char c = m_buf[m_pos++];
            if (c == '"')
                return true;
            if (c != '\\')
                return false; // a raw control character
            int e = raw();
            if (e < 0)
                return false;
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out.push_back(static_cast<char>(e));
                break;
            case 'b':
                out.push_back('\b');
                break;
            case 'f':
                out.push_back('\f');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'u': {
                char32_t cp = 0;
                if (!hex4(cp))
                    return false;
                if (cp >= 0xD800 && cp <= 0xDBFF && rawIs('\\') && rawIs('u')) {
                    char32_t low = 0;
                    if (!hex4(low) || low < 0xDC00 || low > 0xDFFF)
                        return false;
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                } else if (cp >= 0xD800 && cp <= 0xDFFF) {
                    cp = 0xFFFD;
                }
                AppendUtf8(out, cp);
                break;
            }
            default:
                return false;
            }
        }
    }
    // A number, true, false or null as written.
    bool word(std::string& out)
    {
        out.clear();
        if (peek() < 0)
            return false;
        for (;;) {
            if (m_pos == m_buf.size() && !refill())
                break;
            const char c = m_buf[m_pos];
            if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || c == '-' || c == '+' ||
                  c == '.' || c == 'E'))
                break;
            out.push_back(c);
            ++m_pos;
            if (out.size() > 64)
                return false;
        }
        return !out.empty();
    }
    bool value(Value& v, int depth)
    {
        if (depth > kMaxDepth)
            return false;
        const int c = peek();
        if (c == '"') {
            v.type = Value::String;
            return string(v.text);
        }
        if (c == '[') {
            ++m_pos;
            v.type = Value::Array;
            if (take(']'))
                return true;
            do {
                v.items.emplace_back();
                if (!value(v.items.back(), depth + 1))
                    return false;
            } while (take(','));
            return take(']');
        }
        if (c == '{') {
            ++m_pos;
            v.type = Value::Object;
            if (take('}'))
                return true;
            do {
                std::string key;
                if (!string(key) || !take(':'))
                    return false;
                v.keys.push_back(std::move(key));
                v.items.emplace_back();
                if (!value(v.items.back(), depth + 1))
                    return false;
            } while (take(','));
            return take('}');
        }
        if (!word(v.text))
            return false;
        if (v.text == "null")
            v.type = Value::Null;
        else if (v.text == "true" || v.text == "false")
            v.type = Value::Bool;
        else
            v.type = Value::Number;
        return true;
    }
    // Consumes one value without keeping it (an entries array of any length).
    bool skip(int depth)
    {
        if (depth > kMaxDepth)
            return false;
        const int c = peek();
        if (c == '"')
            return string(m_scratch);
        if (c == '[' || c == '{') {
            ++m_pos;
            const char close = c == '[' ? ']' : '}';
            if (take(close))
                return true;
            do {
                if (c == '{' && (!string(m_scratch) || !take(':')))
                    return false;
                if (!skip(depth + 1))
                    return false;
            } while (take(','));
            return take(close);
        }
        return word(m_scratch);
    }
    bool atEnd() { return peek() < 0; }
    bool seek(qint64 offset)
    {
        m_buf.clear();
        m_pos = 0;
        m_consumed = offset;
        return m_in.seek(offset);
    }
    qint64 offset() const { return m_consumed + static_cast<qint64>(m_pos); }

private:
    bool refill()
    {
        m_consumed += static_cast<qint64>(m_pos);
        m_buf.erase(0, m_pos);
        m_pos = 0;
        const std::size_t old = m_buf.size();
        m_buf.resize(old + kChunk);
        const qint64 got = m_in.read(m_buf.data() + old, kChunk);
        m_buf.resize(old + static_cast<std::size_t>(got > 0 ? got : 0));
        return got > 0;
    }
    int raw()
    {
        if (m_pos == m_buf.size() && !refill())
            return -1;
        return static_cast<unsigned char>(m_buf[m_pos++]);
    }
    bool rawIs(char c)
    {
        if (m_pos == m_buf.size() && !refill())
            return false;
        if (m_buf[m_pos] != c)
            return false;
        ++m_pos;
        return true;
    }
    bool hex4(char32_t& cp)
    {
        for (int i = 0; i < 4; ++i) {
            const int c = raw();
            int d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                return false;
            cp = cp * 16 + static_cast<char32_t>(d);
        }
        return true;
    }

    QIODevice& m_in;
    std::string m_buf;
    std::size_t m_pos = 0;
    qint64 m_consumed = 0;
    std::string m_scratch;
};

JsonListingReader::JsonListingReader(QIODevice& in) : m_tokens(std::make_unique<Tokens>(in)) {}

JsonListingReader::~JsonListingReader() = default;

bool JsonListingReader::fail(const QString& why)
{
    if (m_error.isEmpty())
        m_error = QStringLiteral("not a Quillon listing (%1 at byte %2)")
                      .arg(why)
                      .arg(m_tokens->offset());
    m_done = true;
    return false;
}

bool JsonListingReader::readHeaderValue(const std::string& key)
{
    Value v;
    if (!m_tokens->value(v, 1))
        return fail(QStringLiteral("broken JSON"));
    if (key == "format") {
        if (v.text != "quillon-listing")
            return fail(QStringLiteral("unknown format"));
        m_sawFormat = true;
    } else if (key == "version") {
        if (v.text != "1")
            return fail(QStringLiteral("unknown version"));
    } else if (key == "scanned") {
        ParseIsoTime(v.text, m_header.scanned, m_header.utcOffset);
    } else if (key == "job" && v.type == Value::Object) {
        if (const Value* locations = v.member("locations")) {
            for (const Value& item : locations->items) {
                ScanLocation location;
                if (const Value* path = item.member("path"))
                    location.path = path->qtext();
                if (const Value* sub = item.member("subFolders"))
                    location.subFolders = YesNo(sub->text == "true");
                if (const Value* filter = item.member("filter"))
                    location.filter = filter->qtext();
                if (const Value* level = item.member("level"))
                    location.level = level->qtext();
                if (const Value* excluded = item.member("excluded");
                    excluded && excluded->text == "true")
                    location.icon = ScanLocation::kExcludedIcon;
                m_header.locations.push_back(location);
            }
        }
        if (const Value* type = v.member("reportType"))
            m_header.reportType = type->qtext();
        if (const Value* exclusions = v.member("exclusions")) {
            const std::pair<const char*, QStringList*> lists[] = {
                {"names", &m_header.excludedNames},
                {"folders", &m_header.excludedFolders},
                {"extensions", &m_header.excludedExtensions}};
            for (const auto& [name, list] : lists)
                if (const Value* items = exclusions->member(name))
                    for (const Value& item : items->items)
                        list->append(item.qtext());
        }
        if (const Value* columns = v.member("columns")) {
            ListingColumns& c = m_header.columns;
            const std::pair<const char*, bool*> flags[] = {
                {"attributes", &c.attributes}, {"version", &c.version}, {"owner", &c.owner},
                {"crc32", &c.crc32},           {"title", &c.title},     {"artist", &c.artist},
                {"album", &c.album},           {"year", &c.year},       {"genre", &c.genre},
                {"comment", &c.comment}};
            for (const Value& item : columns->items)
                for (const auto& [name, flag] : flags)
                    if (item.text == name)
                        *flag = true;
        }
    }
    return true;
}

bool JsonListingReader::open()
{
    Tokens& t = *m_tokens;
    if (!t.take('{'))
        return fail(QStringLiteral("no JSON object"));
    if (t.take('}'))
        return fail(QStringLiteral("no entries"));
    qint64 entries = -1;
    do {
        std::string key;
        if (!t.string(key) || !t.take(':'))
            return fail(QStringLiteral("broken JSON"));
        if (key == "entries") {
            if (t.peek() != '[')
                return fail(QStringLiteral("entries are no array"));
            if (m_sawFormat) { // the usual order: the header is complete
                t.take('[');
                m_inEntries = true;
                return true;
            }
            // Another writer put the entries first: read the header behind them, then come back.
            entries = t.offset();
            if (!t.skip(1))
                return fail(QStringLiteral("broken JSON"));
            continue;
        }
        if (!readHeaderValue(key))
            return false;
    } while (t.take(','));
    if (!t.take('}'))
        return fail(QStringLiteral("broken JSON"));
    if (!m_sawFormat)
        return fail(QStringLiteral("no format"));
    if (entries < 0)
        return fail(QStringLiteral("no entries"));
    if (!t.seek(entries) || !t.take('['))
        return fail(QStringLiteral("cannot read the entries again"));
    m_inEntries = true;
    return true;
}

bool JsonListingReader::finishDocument()
{
    // Keys after the entries were read (or are of no use); the document must still be whole.
    Tokens& t = *m_tokens;
    m_done = true;
    while (t.take(',')) {
        std::string key;
        if (!t.string(key) || !t.take(':') || !t.skip(1))
            return fail(QStringLiteral("broken JSON"));
    }
    if (!t.take('}') || !t.atEnd())
        return fail(QStringLiteral("broken JSON"));
    return false;
}

bool JsonListingReader::readEntry(ListingEntry& entry)
{
    Tokens& t = *m_tokens;
    entry = ListingEntry();
    if (!t.take('{'))
        return fail(QStringLiteral("an entry is no object"));
    std::string key;
    std::string text;
    std::string hex;
    bool havePath = false;
    if (t.take('}'))
        return fail(QStringLiteral("an entry without path"));
    do {
        if (!t.string(key) || !t.take(':'))
            return fail(QStringLiteral("broken JSON"));
        const int c = t.peek();
        if (c == '{' || c == '[') {
            Value skipped;
            if (!t.value(skipped, 2))
                return fail(QStringLiteral("broken JSON"));
            continue;
        }
        const bool isString = c == '"';
        if (!(isString ? t.string(text) : t.word(text)))
            return fail(QStringLiteral("broken JSON"));
        if (!isString && text == "null") {
            // An unknown value: a size, a version or a tag field is null only when it could
            // not be read (a checksum is null also where there is none, e.g. for a folder).
            if (key == "size")
                entry.unreadable |= kUnreadableStatus;
            else if (key == "version")
                entry.unreadable |= kUnreadableVersion;
            else if (key == "title" || key == "artist" || key == "album" || key == "year" ||
                     key == "genre" || key == "comment")
                entry.unreadable |= kUnreadableTag;
            continue;
        }
        if (key == "path") {
            entry.path = text;
            havePath = true;
        } else if (key == "pathHex") {
            hex = text;
        } else if (key == "kind") {
            if (!EntryKindFromText(text, entry.kind))
                return fail(QStringLiteral("unknown kind"));
        } else if (key == "size") {
            const auto [end, ec] =
                std::from_chars(text.data(), text.data() + text.size(), entry.size);
            if (ec != std::errc() || end != text.data() + text.size())
                return fail(QStringLiteral("a size is no whole number"));
        } else if (key == "modified") {
            entry.timeKnown = ParseIsoTime(text, entry.modified, entry.utcOffset);
        } else if (key == "crc32") {
            std::uint32_t crc = 0;
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), crc, 16);
            entry.crcKnown =
                ec == std::errc() && end == text.data() + text.size() && text.size() == 8;
            entry.crc = crc;
            if (text == kUnreadableText)
                entry.unreadable |= kUnreadableCrc;
        } else {
            const std::pair<const char*, std::string*> fields[] = {
                {"attributes", &entry.attributes},
                {"version", &entry.version},
                {"owner", &entry.owner},
                {"title", &entry.title},
                {"artist", &entry.artist},
                {"album", &entry.album},
                {"year", &entry.year},
                {"genre", &entry.genre},
                {"comment", &entry.comment}};
            for (const auto& [name, field] : fields)
                if (key == name)
                    *field = text;
        }
    } while (t.take(','));
    if (!t.take('}'))
        return fail(QStringLiteral("broken JSON"));
    if (!havePath)
        return fail(QStringLiteral("an entry without path"));
    if (!hex.empty() && !BytesFromHex(hex, entry.path))
        return fail(QStringLiteral("a pathHex is no hexadecimal text"));
    return true;
}

bool JsonListingReader::next(ListingEntry& entry)
{
    if (m_done || !m_inEntries)
        return false;
    Tokens& t = *m_tokens;
    if (m_firstEntry) {
        m_firstEntry = false;
        if (t.take(']'))
            return finishDocument();
    } else if (!t.take(',')) {
        if (!t.take(']'))
            return fail(QStringLiteral("broken JSON"));
        return finishDocument();
    }
    return readEntry(entry);
}

} // namespace quillon
