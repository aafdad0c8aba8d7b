#include "details/Mp3Tag.h"

#include "platform/Cp1252.h"

#include "platform/PathRules.h"
#include "platform/Utf8.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace quillon {

namespace {

constexpr std::size_t kTrailerSize = 128;

// One fixed-width field: bytes up to the first NUL decoded, then blanks to the width.
std::string DecodeField(std::string_view bytes)
{
    const std::string_view kept = TrimAtNul(bytes);
    std::string text;
    text.reserve(bytes.size() + kept.size());
    for (const char c : kept) {
        const auto byte = static_cast<unsigned char>(c);
        AppendUtf8(text, Cp1252ToUnicode(byte));
    }
    text.append(bytes.size() - kept.size(), ' ');
    return text;
}

constexpr std::array<std::string_view, 148> kGenreNames = {"Blues",
                                                           "Classic Rock",
                                                           "Country",
                                                           "Dance",
                                                           "Disco",
                                                           "Funk",
                                                           "Grunge",
                                                           "Hip-Hop",
                                                           "Jazz",
                                                           "Metal",
                                                           "New Age",
                                                           "Oldies",
                                                           "Other",
                                                           "Pop",
                                                           "R&B",
                                                           "Rap",
                                                           "Reggae",
                                                           "Rock",
                                                           "Techno",
                                                           "Industrial",
                                                           "Alternative",
                                                           "Ska",
                                                           "Death Metal",
                                                           "Pranks",
                                                           "Soundtrack",
                                                           "Euro-Techno",
                                                           "Ambient",
                                                           "Trip Hop",
                                                           "Vocal",
                                                           "Jazz+Funk",
                                                           "Fusion",
                                                           "Trance",
                                                           "Classical",
                                                           "Instrumental",
                                                           "Acid",
                                                           "House",
                                                           "Game",
                                                           "Sound Clip",
                                                           "Gospel",
                                                           "Noise",
                                                           "Alt. Rock",
                                                           "Bass",
                                                           "Soul",
                                                           "Punk",
                                                           "Space",
                                                           "Meditative",
                                                           "Instrumental Pop",
                                                           "Instrumental Rock",
                                                           "Ethnic",
                                                           "Gothic",
                                                           "Darkwave",
                                                           "Techno-Industrial",
                                                           "Electronic",
                                                           "Pop-Folk",
                                                           "Eurodance",
                                                           "Dream",
                                                           "Southern Rock",
                                                           "Comedy",
                                                           "Cult",
                                                           "Gangsta Rap",
                                                           "Top 40",
                                                           "Christian Rap",
                                                           "Pop/Punk",
                                                           "Jungle",
                                                           "Native American",
                                                           "Cabaret",
                                                           "New Wave",
                                                           "Phychedelic",
                                                           "Rave",
                                                           "Showtunes",
                                                           "Trailer",
                                                           "Lo-Fi",
                                                           "Tribal",
                                                           "Acid Punk",
                                                           "Acid Jazz",
                                                           "Polka",
                                                           "Retro",
                                                           "Musical",
                                                           "Rock & Roll",
                                                           "Hard Rock",
                                                           "Folk",
                                                           "Folk/Rock",
                                                           "National Folk",
                                                           "Swing",
                                                           "Fast-Fusion",
                                                           "Bebob",
                                                           "Latin",
                                                           "Revival",
                                                           "Celtic",
                                                           "Blue Grass",
                                                           "Avantegarde",
                                                           "Gothic Rock",
                                                           "Progressive Rock",
                                                           "Psychedelic Rock",
                                                           "Symphonic Rock",
                                                           "Slow Rock",
                                                           "Big Band",
                                                           "Chorus",
                                                           "Easy Listening",
                                                           "Acoustic",
                                                           "Humour",
                                                           "Speech",
                                                           "Chanson",
                                                           "Opera",
                                                           "Chamber Music",
                                                           "Sonata",
                                                           "Symphony",
                                                           "Booty Bass",
                                                           "Primus",
                                                           "Porn Groove",
                                                           "Satire",
                                                           "Slow Jam",
                                                           "Club",
                                                           "Tango",
                                                           "Samba",
                                                           "Folklore",
                                                           "Ballad",
                                                           "Power Ballad",
                                                           "Rhythmic Soul",
                                                           "Freestyle",
                                                           "Duet",
                                                           "Punk Rock",
                                                           "Drum Solo",
                                                           "A Capella",
                                                           "Euro-House",
                                                           "Dance Hall",
                                                           "Goa",
                                                           "Drum & Bass",
                                                           "Club-House",
                                                           "Hardcore",
                                                           "Terror",
                                                           "Indie",
                                                           "Brit Pop",
                                                           "Negerpunk",
                                                           "Polsk Punk",
                                                           "Beat",
                                                           "Christian Gangsta Rap",
                                                           "Heavy Metal",
                                                           "Black Metal",
                                                           "Crossover",
                                                           "Comteporary Christian",
                                                           "Christian Rock",
                                                           "Merengue",
                                                           "Salsa",
                                                           "Trash Metal",
                                                           "Anime",
                                                           "JPop",
                                                           "Synth Pop"};

// Reads the last kTrailerSize bytes of an open file of size bytes: 0, ENODATA when the file
// is too short or shrank meanwhile, or the errno of a failed read.
int ReadTrailer(int fd, std::int64_t size, char (&trailer)[kTrailerSize])
{
    if (size < static_cast<std::int64_t>(kTrailerSize))
        return ENODATA;
    std::size_t done = 0;
    const off_t at = static_cast<off_t>(size) - static_cast<off_t>(kTrailerSize);
    while (done < kTrailerSize) {
        const ssize_t got =
            ::pread(fd, trailer + done, kTrailerSize - done, at + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno;
        if (got == 0)
            return ENODATA;
        done += static_cast<std::size_t>(got);
    }
    return 0;
}

bool ReadTrailer(const FileAt& file, char (&trailer)[kTrailerSize])
{
    // O_NONBLOCK keeps a FIFO from stalling the report; fstat then turns it away.
    const int fd = ::openat(file.folder, file.name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st;
    const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                    ReadTrailer(fd, static_cast<std::int64_t>(st.st_size), trailer) == 0;
    ::close(fd);
    return ok;
}

} // namespace

const std::array<std::string_view, 148>& GenreNames()
{
    return kGenreNames;
}

std::string_view GenreName(unsigned genre)
{
    return genre < kGenreNames.size() ? kGenreNames[genre] : std::string_view();
}

Mp3Tag ParseMp3Trailer(std::string_view trailer)
{
    Mp3Tag tag;
    if (trailer.size() != kTrailerSize || !trailer.starts_with("TAG"))
        return tag;
    tag.found = true;
    tag.title = DecodeField(trailer.substr(3, 30));
    tag.artist = DecodeField(trailer.substr(33, 30));
    tag.album = DecodeField(trailer.substr(63, 30));
    tag.year = DecodeField(trailer.substr(93, 4));
    tag.comment = DecodeField(trailer.substr(97, 30));
    tag.genre = static_cast<std::uint8_t>(trailer[127]);
    tag.genreName = GenreName(tag.genre);
    return tag;
}

Mp3Tag ReadMp3Tag(const FileAt& file)
{
    // A plain directory lookup does not see hidden files, so they have no tag to show.
    if (LastComponent(file.name).starts_with('.'))
        return {};
    char trailer[kTrailerSize];
    if (!ReadTrailer(file, trailer))
        return {};
    return ParseMp3Trailer(std::string_view(trailer, kTrailerSize));
}

Mp3Tag ReadMp3TagOf(int fd, std::int64_t size, int& error)
{
    char trailer[kTrailerSize];
    error = ReadTrailer(fd, size, trailer);
    if (error == ENODATA)
        error = 0; // too short for a tag: none, not a failure
    if (error != 0 || size < static_cast<std::int64_t>(kTrailerSize))
        return {};
    return ParseMp3Trailer(std::string_view(trailer, kTrailerSize));
}

} // namespace quillon
