#pragma once

#include <QString>
#include <QStringList>
#include <vector>

class QPagedPaintDevice;

namespace khgl {

// A list as it goes on paper.
struct PrintedTable
{
    QString title;
    QStringList header;
    std::vector<QStringList> rows;
    QString total; // printed after the table; empty for none
};

// Turns the page to landscape when the columns need more than a portrait page's width
// (a long text counts only up to a share of the page: it wraps), else to portrait.
void choosePrintOrientation(QPagedPaintDevice& device, const PrintedTable& table);

// Paints the table over as many pages as it needs: the title on the first page, the header
// row on every page, every row whole on one page, columns as wide as their contents (long
// texts wrap in what is left), "第 n 页，共 m 页" at the foot of each page.
void printTable(QPagedPaintDevice& device, const PrintedTable& table);

} // namespace khgl
