#pragma once

#include "widgets/csv_export.h"

#include <QString>

namespace khgl {

class RecordGrid;

// Writes what the grid shows (header row and data rows, columns 1 .. cols-1) as an Excel
// workbook of one sheet, streamed row by row (constant memory): plain numbers as numbers,
// dates written 2026-03-05 or 2026-3-5 as dates shown in that form, every other text as a
// string (formula-like ones too, so no spreadsheet runs them); the header row bold and
// frozen, column widths from the grid. Atomic: the file is either the whole new workbook or
// untouched. Throws StoreError with an operator message; returns false when progress
// cancelled. cutCells counts texts longer than a cell holds (32,767 characters), written
// shortened.
bool writeGridXlsx(const RecordGrid& grid, const QString& path, const QString& sheetName,
                   const CsvProgress& progress = {}, int* cutCells = nullptr);

} // namespace khgl
