#pragma once

#include <QString>

#include "gui/mainwin/frn1.h"

namespace quorv {

enum class ExportFormat { Csv, Tsv, Html, Xlsx };

// The choices of the save-as dialog, in "description,pattern,..." form; the index of the
// chosen one gives the format (exportFormatAt).
QString exportFilterText();
ExportFormat exportFormatAt(int filterIndex);
QString exportExtension(ExportFormat format);

// Writes the shown rows in display order, the shown columns with their header texts.
// The file is replaced atomically; false when it could not be written.
bool exportList(const FileListModel& list, const QString& path, ExportFormat format);

// The contents of a text export, as written (exposed for checking).
QByteArray exportText(const FileListModel& list, ExportFormat format);

}  // namespace quorv
