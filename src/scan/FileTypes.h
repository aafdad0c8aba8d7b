#pragma once

#include <QList>
#include <QString>

namespace quillon {

class SettingsStore;

/// One entry of the known file types: an extension with its dot, in the case it was typed
/// (".mp3", ".MP3"), and its descriptive name.
struct FileType {
    QString extension;
    QString description;

    bool operator==(const FileType&) const = default;
};

using FileTypeList = QList<FileType>;

/// Reads the stored file types (section "File Types", values "1", "2", ... in order, each
/// "extension;description"; a description is cut at a further ";"; an extension that is not
/// IsSafeTypeText is left out). Returns false, leaving
/// types empty, when the section does not exist; true when it does, even holding no types.
bool LoadFileTypes(const SettingsStore& store, FileTypeList& types);

/// Replaces the stored file types by types, in order. An empty list is stored as such, so
/// deleting every type does not bring the defaults back. Returns false when the settings file
/// could not be written.
bool SaveFileTypes(SettingsStore& store, const FileTypeList& types);

/// The ten types offered before the user has changed the list: .mp3 .wma .jpg .gif .exe .zip
/// .mpg .wav .ra .avi, each with its FileTypeName.
FileTypeList LoadDefaultFileTypes();

/// Whether text may stand in a file type or an excluded extension: "," separates the fields
/// of a job's location line and "|" the parts of a dialog filter, so neither may appear.
bool IsSafeTypeText(const QString& text);

/// What the dialogs say when they refuse such text.
QString UnsafeTypeTextMessage();

/// The system's descriptive name of a file type, from the MIME database ("MP3 audio");
/// "RA File"-style text for an extension the database does not know; at most 80 characters.
QString FileTypeName(const QString& extension);

} // namespace quillon
