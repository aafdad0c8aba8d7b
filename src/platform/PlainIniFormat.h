#pragma once

#include <QByteArray>
#include <QSettings>

namespace quillon {

/// The settings file's format: the INI layout that QSettings writes ("[Section]",
/// "key=value", its escapes and quotes), but every value is read as plain text. QSettings'
/// own INI reader turns "@Variant(...)" into Qt values, and a garbled one can build a type
/// that needs a GUI application; here such a value is only text, which its reader then
/// refuses like any other unusable value. (SettingsStore compares names without regard to
/// case.)
QSettings::Format PlainIniFormat();

/// Parses INI text into "Section/key" -> text ("General" and keys before any section have no
/// section part).
void ParsePlainIni(QByteArrayView text, QSettings::SettingsMap& map);

/// The INI text of a map, as ParsePlainIni reads it back.
QByteArray PlainIniText(const QSettings::SettingsMap& map);

} // namespace quillon
