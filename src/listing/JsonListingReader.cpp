#include "listing/JsonListingReader.h"

#include "listing/NameSet.h"
#include "platform/BoundedRead.h"
#include "platform/StoredTexts.h"
#include "platform/Utf8.h"

#include <QFileDevice>
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <utility>
#include <vector>

namespace quillon {

namespace {

constexpr std::size_t kChunk = 1 << 18;
constexpr std::size_t kLongestWord = 64;
constexpr std::size_t kLongestKey = 1024;

} // namespace

// The JSON tokens of a device, read in chunks. A failure may leave why() saying more than
// "broken JSON" (a bound that was passed).
class JsonListingReader::Tokens {
public:
    explicit Tokens(QIODevice& in) : m_in(in) {}

    // The next character that is not white space, without taking it; -1 at the end. Inlined
    // for the usual case, a printable character in the buffer: it is asked before each token.
    [[gnu::always_inline]] int peek()
    {
        if (m_pos + 1 < m_end) {
            // A writer puts one blank after ":" and ",".
            m_pos += m_buf[m_pos] == ' ';
            if (m_buf[m_pos] > ' ')
                return static_cast<unsigned char>(m_buf[m_pos]);
        }
        return peekFurther();
    }
    int peekFurther()
    {
        for (;;) {
            if (m_pos == m_end && !refill())
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
    // A string of at most limit bytes (after unescaping) into out; with out null it is only
    // passed over, however long.
    bool string(std::string* out, std::size_t limit)
    {
        if (out)
            out->clear();
        if (!take('"'))
            return false;
        std::size_t length = 0;
        const auto add = [&](const char* data, std::size_t n) {
            length += n;
            if (!out)
                return true;
            if (length > limit)
                return tooLong(limit);
            out->append(data, n);
            return true;
        };
        for (;;) {
            if (m_pos == m_end && !refill())
                return false;
            // Copy the plain run at once, as most of a listing is text.
            const std::size_t end =
                m_pos +
                JsonPlainLength(std::string_view(m_buf).substr(m_pos, m_end - m_pos), false);
            if (!add(m_buf.data() + m_pos, end - m_pos))
                return false;
            m_pos = end;
            if (m_pos == m_end)
                continue;
            const char c = m_buf[m_pos++];
            if (c == '"')
                return true;
            if (c != '\\')
                return false; // a raw control character
            char32_t cp = 0;
            if (!escaped(cp))
                return false;
            if (cp < 0x80) {
                const char plain = static_cast<char>(cp);
                if (!add(&plain, 1))
                    return false;
                continue;
            }
            std::string utf8;
            AppendUtf8(utf8, cp);
            if (!add(utf8.data(), utf8.size()))
                return false;
        }
    }
    // A string as string() reads it, seen in place when the buffer holds it whole with no
    // escape (most keys and values): view is good until the next call. Else it is read into
    // scratch as string() would, from the same place, so errors and offsets are the same.
    bool text(std::string_view& view, std::string& scratch, std::size_t limit)
    {
        if (peek() == '"') {
            const std::size_t from = m_pos + 1;
            const std::size_t end =
                from + JsonPlainLength(std::string_view(m_buf).substr(from, m_end - from), false);
            if (end < m_end && m_buf[end] == '"' && end - from <= limit) {
                view = std::string_view(m_buf).substr(from, end - from);
                m_pos = end + 1;
                return true;
            }
        }
        if (!string(&scratch, limit))
            return false;
        view = scratch;
        return true;
    }
    // A word as word() reads it, seen in place as text() sees a string.
    bool word(std::string_view& view, std::string& scratch)
    {
        if (peek() >= 0) {
            std::size_t end = m_pos;
            while (end < m_end && end - m_pos <= kLongestWord && IsWordByte(m_buf[end]))
                ++end;
            if (end < m_end && end > m_pos && end - m_pos <= kLongestWord) {
                view = std::string_view(m_buf).substr(m_pos, end - m_pos);
                m_pos = end;
                return true;
            }
        }
        if (!word(scratch))
            return false;
        view = scratch;
        return true;
    }
    // Takes the key a guess holds when it stands next (after white space), compared a word at
    // a time.
    bool takeGuess(const KeyGuess& guess)
    {
        if (peek() < 0 || m_end - m_pos < sizeof guess.word)
            return false;
        std::uint64_t word[2];
        std::memcpy(word, m_buf.data() + m_pos, sizeof word);
        if (((word[0] ^ guess.word[0]) & guess.mask[0]) |
            ((word[1] ^ guess.word[1]) & guess.mask[1]))
            return false;
        m_pos += guess.size;
        return true;
    }
    // The last bytes taken, when the buffer still holds them all.
    std::string_view recent(std::size_t length) const
    {
        return m_pos >= length ? std::string_view(m_buf).substr(m_pos - length, length)
                               : std::string_view();
    }
    // A number, true, false or null as written.
    bool word(std::string& out)
    {
        out.clear();
        if (peek() < 0)
            return false;
        for (;;) {
            if (m_pos == m_end && !refill())
                break;
            const char c = m_buf[m_pos];
            if (!IsWordByte(c))
                break;
            out.push_back(c);
            ++m_pos;
            if (out.size() > kLongestWord)
                return tooLong(kLongestWord);
        }
        return !out.empty();
    }
    // Passes over one value of any size without keeping it; depth is the level it stands at.
    bool skip(int depth)
    {
        if (depth > kDeepest) {
            m_why = QStringLiteral("values nested deeper than %1 levels").arg(kDeepest);
            return false;
        }
        const int c = peek();
        if (c == '"')
            return string(nullptr, 0);
        if (c == '[' || c == '{') {
            ++m_pos;
            const char close = c == '[' ? ']' : '}';
            if (take(close))
                return true;
            do {
                if (c == '{' && (!string(nullptr, 0) || !take(':')))
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
        m_end = m_pos = 0;
        m_consumed = offset;
        return m_in.seek(offset);
    }
    qint64 offset() const { return m_consumed + static_cast<qint64>(m_pos); }
    const QString& why() const { return m_why; }

private:
    static bool IsWordByte(char c)
    {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || c == '-' || c == '+' ||
               c == '.' || c == 'E';
    }
    bool tooLong(std::size_t limit)
    {
        m_why = QStringLiteral("a value longer than %1 bytes").arg(limit);
        return false;
    }
    bool refill()
    {
        // m_buf keeps its size: growing a string again for each chunk would clear it first.
        m_consumed += static_cast<qint64>(m_pos);
        const std::size_t left = m_end - m_pos;
        m_buf.resize(left + kChunk);
        std::memmove(m_buf.data(), m_buf.data() + m_pos, left);
        m_pos = 0;
        m_end = left;
        const qint64 got = m_in.read(m_buf.data() + left, kChunk);
        m_end += static_cast<std::size_t>(got > 0 ? got : 0);
        return got > 0;
    }
    int raw()
    {
        if (m_pos == m_end && !refill())
            return -1;
        return static_cast<unsigned char>(m_buf[m_pos++]);
    }
    bool rawIs(char c)
    {
        if (m_pos == m_end && !refill())
            return false;
        if (m_buf[m_pos] != c)
            return false;
        ++m_pos;
        return true;
    }
    // The character of the escape after a backslash; a lone surrogate reads as U+FFFD. Cold:
    // escapes are rare in a listing, and inlined they slow string's loop over plain runs.
    [[gnu::cold]] bool escaped(char32_t& cp)
    {
        switch (raw()) {
        case '"':
            cp = '"';
            return true;
        case '\\':
            cp = '\\';
            return true;
        case '/':
            cp = '/';
            return true;
        case 'b':
            cp = '\b';
            return true;
        case 'f':
            cp = '\f';
            return true;
        case 'n':
            cp = '\n';
            return true;
        case 'r':
            cp = '\r';
            return true;
        case 't':
            cp = '\t';
            return true;
        case 'u':
            break;
        default:
            return false;
        }
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
    std::size_t m_pos = 0, m_end = 0; ///< what is read of m_buf, and where its bytes end
    qint64 m_consumed = 0;
    std::string m_scratch;
    QString m_why;
};

JsonListingReader::JsonListingReader(QIODevice& in, QString name)
    : m_tokens(std::make_unique<Tokens>(in)), m_groupNames(std::make_unique<NameSet>()), m_in(in),
      m_name(std::move(name))
{
    if (m_name.isEmpty())
        if (const auto* file = qobject_cast<const QFileDevice*>(&in))
            m_name = file->fileName();
    if (m_name.isEmpty())
        m_name = QStringLiteral("the listing");
}

JsonListingReader::~JsonListingReader() = default;

bool JsonListingReader::fail(const QString& why, qint64 at)
{
    if (m_error.isEmpty())
        m_error = QStringLiteral("%1: not a Quillon listing (%2 at byte %3)")
                      .arg(m_name, why)
                      .arg(at >= 0 ? at : m_tokens->offset());
    m_done = true;
    return false;
}

bool JsonListingReader::broken()
{
    return fail(m_tokens->why().isEmpty() ? QStringLiteral("broken JSON") : m_tokens->why());
}

// Counts what the header keeps (a text of n UTF-8 bytes takes about 2n + 56 in a QStringList),
// so that a header of millions of locations cannot fill the memory.
bool JsonListingReader::keep(std::size_t bytes)
{
    m_headerBytes += 2 * bytes + 56;
    if (m_headerBytes <= kHeaderLimit)
        return true;
    return fail(QStringLiteral("a header larger than %1 bytes").arg(kHeaderLimit));
}

// An array of texts; anything else in its place is passed over.
bool JsonListingReader::readTexts(QStringList& list)
{
    Tokens& t = *m_tokens;
    if (t.peek() != '[')
        return t.skip(3) || broken();
    t.take('[');
    if (t.take(']'))
        return true;
    std::string text;
    do {
        if (t.peek() != '"') {
            if (!t.skip(4))
                return broken();
            continue;
        }
        if (!t.string(&text, kLongestText))
            return broken();
        if (!keep(text.size()))
            return false;
        list.append(QString::fromStdString(text));
    } while (t.take(','));
    return t.take(']') || broken();
}

bool JsonListingReader::readLocation()
{
    Tokens& t = *m_tokens;
    if (t.peek() != '{')
        return t.skip(4) || broken();
    t.take('{');
    ScanLocation location;
    std::string key, text;
    if (!t.take('}')) {
        do {
            if (!t.string(&key, kLongestKey) || !t.take(':'))
                return broken();
            QString* field = key == "path"     ? &location.path
                             : key == "filter" ? &location.filter
                             : key == "level"  ? &location.level
                                               : nullptr;
            if (field && t.peek() == '"') {
                if (!t.string(&text, kLongestText) || !keep(text.size()))
                    return broken();
                *field = QString::fromStdString(text);
            } else if (key == "subFolders" || key == "excluded") {
                if (!t.word(text))
                    return broken();
                if (key == "subFolders")
                    location.setSubFolders(text == "true");
                else if (text == "true")
                    location.setExcluded(true);
            } else if (!t.skip(5)) {
                return broken();
            }
        } while (t.take(','));
        if (!t.take('}'))
            return broken();
    }
    if (!keep(0))
        return false;
    m_header.locations.push_back(location);
    return true;
}

// The job's "locations": an array of them; any other value is passed over.
bool JsonListingReader::readLocations()
{
    Tokens& t = *m_tokens;
    if (t.peek() != '[')
        return t.skip(2) || broken();
    t.take('[');
    if (t.take(']'))
        return true;
    do {
        if (!readLocation())
            return false;
    } while (t.take(','));
    return t.take(']') || broken();
}

// The job's "exclusions" object; key is scratch.
bool JsonListingReader::readExclusions(std::string& key)
{
    Tokens& t = *m_tokens;
    t.take('{');
    if (t.take('}'))
        return true;
    do {
        if (!t.string(&key, kLongestKey) || !t.take(':'))
            return broken();
        QStringList* list = key == "names"        ? &m_header.excludedNames
                            : key == "folders"    ? &m_header.excludedFolders
                            : key == "extensions" ? &m_header.excludedExtensions
                                                  : nullptr;
        if (!(list ? readTexts(*list) : t.skip(3) || broken()))
            return false;
    } while (t.take(','));
    return t.take('}') || broken();
}

bool JsonListingReader::readJob()
{
    Tokens& t = *m_tokens;
    if (t.peek() != '{')
        return t.skip(1) || broken();
    t.take('{');
    if (t.take('}'))
        return true;
    std::string key, text;
    do {
        if (!t.string(&key, kLongestKey) || !t.take(':'))
            return broken();
        if (key == "locations") {
            if (!readLocations())
                return false;
        } else if (key == "reportType" && t.peek() == '"') {
            if (!t.string(&text, kLongestText) || !keep(text.size()))
                return broken();
            m_header.reportType = QString::fromStdString(text);
        } else if (key == "exclusions" && t.peek() == '{') {
            if (!readExclusions(key))
                return false;
        } else if (key == "columns") {
            QStringList columns;
            if (!readTexts(columns))
                return false;
            for (const QString& item : columns)
                for (const DetailColumnRow& row : kDetailColumns)
                    if (row.listingKey && item == QLatin1String(row.listingKey))
                        m_header.columns[row.column] = true;
        } else if (!t.skip(2)) {
            return broken();
        }
    } while (t.take(','));
    return t.take('}') || broken();
}

bool JsonListingReader::readHeaderValue(const std::string& key)
{
    Tokens& t = *m_tokens;
    std::string text;
    if (key == "format") {
        if (t.peek() != '"' || !t.string(&text, kLongestWord) || text != "quillon-listing")
            return fail(QStringLiteral("unknown format"));
        m_sawFormat = true;
    } else if (key == "version") {
        if (!t.word(text) || text != "1")
            return fail(QStringLiteral("unknown version"));
    } else if (key == "scanned" && t.peek() == '"') {
        if (!t.string(&text, kLongestWord))
            return broken();
        ParseIsoTime(text, m_header.scanned, m_header.utcOffset);
    } else if (key == "job") {
        return readJob();
    } else if (!t.skip(1)) {
        return broken();
    }
    return true;
}

bool JsonListingReader::open()
{
    // A FIFO, a device or /proc/kmsg is no listing, and reading one may block or take data.
    if (const auto* file = qobject_cast<const QFileDevice*>(&m_in);
        file && file->handle() >= 0 && !IsRegularFileDescriptor(file->handle()))
        return fail(QStringLiteral("not a regular file"), 0);
    Tokens& t = *m_tokens;
    if (!t.take('{'))
        return fail(QStringLiteral("no JSON object"));
    if (t.take('}'))
        return fail(QStringLiteral("no entries"));
    qint64 entries = -1;
    std::string key;
    do {
        if (!t.string(&key, kLongestKey) || !t.take(':'))
            return broken();
        if (key == "entries") {
            if (entries >= 0)
                return fail(QStringLiteral("entries given twice"));
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
                return broken();
            continue;
        }
        if (!readHeaderValue(key))
            return false;
    } while (t.take(','));
    if (!t.take('}'))
        return broken();
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
    std::string key;
    while (t.take(',')) {
        if (!t.string(&key, kLongestKey) || !t.take(':'))
            return broken();
        if (key == "entries")
            return fail(QStringLiteral("entries given twice"));
        if (!t.skip(1))
            return broken();
    }
    if (!t.take('}') || !t.atEnd())
        return broken();
    return false;
}

// An entry given twice would show as removed or added on one side: refused. Entries of one
// folder stand together (the comparison refuses a folder that comes back later), so only the
// names of the folder being read are kept.
bool JsonListingReader::checkRepeat(const ListingEntry& entry, qint64 at)
{
    const bool folder = entry.kind == EntryKind::Folder;
    const std::string_view group = folder ? std::string_view(entry.path) : entry.folder();
    if (!m_haveGroup || group != m_group) {
        m_group.assign(group);
        m_haveGroup = true;
        m_groupFolderSeen = false;
        m_groupNames->clear();
    }
    const bool repeated =
        folder ? std::exchange(m_groupFolderSeen, true) : !m_groupNames->insert(entry.name());
    if (repeated)
        return fail(QStringLiteral("an entry given twice"), at);
    return true;
}

namespace {

// The keys of an entry the reader knows, one bit each so that a repeated key is caught: key i
// of kEntryKeys has the bit 1 << i.
enum EntryKey : unsigned {
    Path = 1,
    Hex = 2,
    Kind = 4,
    Size = 8,
    Modified = 16,
    Crc = 32,
    Allocated = 64,
    TotalSize = 128,
    FileCount = 256
};
constexpr std::array<std::string_view, 9> kEntryKeys{
    "path", "pathHex", "kind", "size", "modified", "crc32", "allocated", "totalSize", "fileCount"};

// The detail columns' keys as views, so that a key is not compared with C strings that would
// be measured again for each key of each entry.
constexpr auto kDetailKeys = [] {
    std::array<std::string_view, kDetailColumns.size()> keys{};
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (kDetailColumns[i].listingKey)
            keys[i] = kDetailColumns[i].listingKey;
    return keys;
}();

// A key against a literal: with its length a constant the compare is a few instructions, and
// most keys are passed over by their length alone.
template <std::size_t N> bool KeyIs(std::string_view key, const char (&literal)[N])
{
    return key.size() == N - 1 && std::memcmp(key.data(), literal, N - 1) == 0;
}

// Unrolled, so that each known key is compared as KeyIs compares a literal.
template <std::size_t... I> unsigned EntryKeyBit(std::string_view k, std::index_sequence<I...>)
{
    unsigned bit = 0;
    (void)((k.size() == kEntryKeys[I].size() &&
            std::memcmp(k.data(), kEntryKeys[I].data(), kEntryKeys[I].size()) == 0 &&
            (bit = 1u << I) != 0) ||
           ...);
    return bit;
}

unsigned EntryKeyBit(std::string_view k)
{
    return EntryKeyBit(k, std::make_index_sequence<kEntryKeys.size()>());
}

// The detail column whose listing key is k; null for none.
const DetailColumnRow* DetailRowOfKey(std::string_view k)
{
    for (std::size_t i = 0; i < kDetailColumns.size(); ++i)
        if (!kDetailKeys[i].empty() && kDetailKeys[i] == k)
            return &kDetailColumns[i];
    return nullptr;
}

// A whole number written in full (no sign, no fraction, nothing after it).
bool WholeNumber(std::string_view text, std::int64_t& number)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    return ec == std::errc() && end == text.data() + text.size() && number >= 0;
}

QString KeyText(std::string_view key)
{
    return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
}

} // namespace

bool JsonListingReader::readEntry(ListingEntry& entry)
{
    Tokens& t = *m_tokens;
    entry.clear(); // keeps the path's buffer from entry to entry
    const qint64 at = t.offset();
    if (!t.take('{'))
        return fail(QStringLiteral("an entry is no object"));
    unsigned seen = 0;
    m_hex.clear();
    if (t.take('}'))
        return fail(QStringLiteral("an entry without path"), at);
    std::size_t place = 0;
    do {
        if (!readEntryMember(entry, seen, place++))
            return false;
    } while (t.take(','));
    if (!t.take('}'))
        return broken();
    if (!(seen & Path))
        return fail(QStringLiteral("an entry without path"), at);
    if (!(seen & Kind) || !(seen & Size))
        return fail(QStringLiteral("an entry without kind or size"), at);
    entry.totalsKnown = (seen & TotalSize) && (seen & FileCount);
    if (!m_hex.empty() && !BytesFromHex(m_hex, entry.path))
        return fail(QStringLiteral("a pathHex is no hexadecimal text"), at);
    return checkRepeat(entry, at);
}

// The key of an entry's member at place (0 for the first) and the colon after it: its bit, or
// the detail column it names; neither for a key passed over. A writer puts the keys in the same
// order in each entry, so the key at the same place of the entry before is tried first, as the
// bytes it was written with up to its value: most keys are then neither read nor looked up. A key
// is mostly seen in the read buffer, which the next token may move: from then on it is known by its
// bit or its column.
bool JsonListingReader::readEntryKey(unsigned& bit, const DetailColumnRow*& row, std::size_t place)
{
    Tokens& t = *m_tokens;
    KeyGuess* const guess = place < m_guesses.size() ? &m_guesses[place] : nullptr;
    if (guess && guess->size != 0 && t.takeGuess(*guess)) {
        bit = guess->bit;
        row = guess->row;
        return true;
    }
    t.peek();
    const qint64 from = t.offset();
    std::string_view key;
    if (!t.text(key, m_key, kLongestKey))
        return false;
    bit = EntryKeyBit(key);
    const bool again = KeyIs(key, "folder") || KeyIs(key, "name"); // what the path says, for others
    row = bit || again ? nullptr : DetailRowOfKey(key);
    const bool plain = key.data() != m_key.data(); // read in place: no escape
    if (!t.take(':'))
        return false;
    t.peek();
    // Guessed next time as it stands in the listing, from its quote to the value.
    const std::string_view written = t.recent(static_cast<std::size_t>(t.offset() - from));
    const std::size_t length = written.size();
    if (guess && plain && length != 0 && length <= sizeof guess->word) {
        char bytes[sizeof guess->word] = {}, mask[sizeof guess->word] = {};
        written.copy(bytes, length);
        std::memset(mask, 0xff, length);
        std::memcpy(guess->word, bytes, sizeof bytes);
        std::memcpy(guess->mask, mask, sizeof mask);
        guess->size = length;
        guess->bit = bit;
        guess->row = row;
    }
    return true;
}

// One "key": value of an entry at place; seen gathers the bits of the keys met.
bool JsonListingReader::readEntryMember(ListingEntry& entry, unsigned& seen, std::size_t place)
{
    Tokens& t = *m_tokens;
    unsigned bit = 0;
    const DetailColumnRow* row = nullptr;
    if (!readEntryKey(bit, row, place))
        return broken();
    if (!bit && !row) // another writer's key or what the path says again: passed over
        return t.skip(3) || broken();
    const std::string_view key = bit ? kEntryKeys[static_cast<std::size_t>(std::countr_zero(bit))]
                                     : std::string_view(row->listingKey);
    if (seen & bit)
        return fail(QStringLiteral("the key \"%1\" given twice in an entry").arg(KeyText(key)));
    seen |= bit;
    const bool isString = t.peek() == '"';
    std::string_view text;
    if (bit == Path && isString) { // straight into the entry: the longest text, read most
        if (!t.text(text, entry.path, kLongestText))
            return broken();
        if (text.data() != entry.path.data())
            entry.path.assign(text);
        return true;
    }
    if (!(isString ? t.text(text, m_text, bit == Hex ? 2 * kLongestText : kLongestText)
                   : t.word(text, m_text)))
        return broken();
    const bool isNull = !isString && text == "null";
    if (row) {
        if (!isString && !isNull)
            return fail(QStringLiteral("the %1 is no text").arg(KeyText(key)));
        // null: a version or a tag field is null only when it could not be read.
        std::string* detail = entry.detail(row->column);
        if (isNull) {
            detail->clear();
            entry.unreadable |= row->unreadable;
        } else {
            detail->assign(text);
        }
        return true;
    }
    return readEntryValue(entry, bit, text, isString, isNull);
}

// The value text of the known key bit.
bool JsonListingReader::readEntryValue(ListingEntry& entry, unsigned bit, std::string_view text,
                                       bool isString, bool isNull)
{
    switch (bit) {
    case Path:
        if (!isString)
            return fail(QStringLiteral("a path is no text"));
        entry.path = text;
        return true;
    case Hex:
        if (!isString)
            return fail(QStringLiteral("a pathHex is no text"));
        m_hex.assign(text);
        return true;
    case Kind:
        if (!isString || !EntryKindFromText(text, entry.kind))
            return fail(QStringLiteral("unknown kind"));
        return true;
    case Size:
        if (isNull) {
            entry.unreadable |= kUnreadableStatus; // a size that could not be read
            return true;
        }
        if (isString || !WholeNumber(text, entry.size))
            return fail(QStringLiteral("a size is no whole number of bytes"));
        return true;
    case Modified:
        if (isNull)
            return true;
        if (!isString || !readTime(text, entry.modified, entry.utcOffset))
            return fail(QStringLiteral("a last change is no ISO 8601 time"));
        entry.timeKnown = true;
        return true;
    case Crc:
        return readEntryCrc(entry, text, isString, isNull);
    default:
        return readEntryCount(entry, bit, text, isString, isNull);
    }
}

// Files of a folder often share their time (unpacked or installed together): a text the same
// as the last one is not read again.
bool JsonListingReader::readTime(std::string_view text, std::int64_t& seconds, int& utcOffset)
{
    if (!m_lastTime.empty() && text == m_lastTime) {
        seconds = m_lastSeconds;
        utcOffset = m_lastOffset;
        return true;
    }
    if (!ParseIsoTime(text, seconds, utcOffset))
        return false;
    m_lastTime.assign(text);
    m_lastSeconds = seconds;
    m_lastOffset = utcOffset;
    return true;
}

bool JsonListingReader::readEntryCrc(ListingEntry& entry, std::string_view text, bool isString,
                                     bool isNull)
{
    // null: no checksum (a folder, a link, a listing without the column);
    // "unreadable": the file's content could not be read when the listing was made.
    if (isString && text == kUnreadableText)
        entry.unreadable |= kUnreadableCrc;
    if (isNull || (isString && text == kUnreadableText))
        return true;
    std::uint32_t crc = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), crc, 16);
    if (!isString || text.size() != 8 || ec != std::errc() || end != text.data() + text.size())
        return fail(QStringLiteral("a crc32 is neither 8 hexadecimal digits, null nor "
                                   "\"unreadable\""));
    entry.crc = crc;
    entry.crcKnown = true;
    return true;
}

// Sizes and totals a listing carries with its switches on; null: not known.
bool JsonListingReader::readEntryCount(ListingEntry& entry, unsigned bit, std::string_view text,
                                       bool isString, bool isNull)
{
    if (isNull)
        return true;
    std::int64_t number = 0;
    if (isString || !WholeNumber(text, number))
        return fail(QStringLiteral("the %1 is no whole number")
                        .arg(KeyText(kEntryKeys[static_cast<std::size_t>(std::countr_zero(bit))])));
    if (bit == Allocated) {
        entry.allocated = number;
        entry.allocatedKnown = true;
    } else if (bit == TotalSize) {
        entry.totalSize = number;
    } else {
        entry.fileCount = static_cast<std::uint64_t>(number);
    }
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
            return broken();
        return finishDocument();
    }
    return readEntry(entry);
}

} // namespace quillon
