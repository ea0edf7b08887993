// The report-style list every image page uses: read-only rows, full-row
// single selection, grid lines, left-aligned headers of given widths, and the
// rule that gives the last column whatever width the others leave.
#pragma once

#include <vector>

#include <QSize>
#include <QString>
#include <QStringList>

#include <initializer_list>

class QAbstractButton;
class QRadioButton;
class QTableWidget;
class QWidget;

namespace velmora {

// A column starts at width pixels, or wider when its header or the longest
// fixed text it can show (widestText) would not fit at the page's font.
struct ListColumn {
  QString header;
  int width = 0;
  QString widestText = {};
};

QTableWidget* makeReportList(QWidget* parent, int id, std::initializer_list<ListColumn> columns);

// Replaces every row: one row per entry, its texts one per column. Far
// cheaper than appending row by row, which relays the table each time.
void setRows(QTableWidget* list, const std::vector<QStringList>& rows);
// Rewrites the texts of columns first.. of an existing row.
void setRowTexts(QTableWidget* list, int row, int firstColumn, const QStringList& texts);
// Marks row selected and focused (no signals reach the page's handlers).
void markRowSelected(QTableWidget* list, int row);

// The last column takes the list's client width minus the other columns,
// or 1 when nothing is left.
void fitLastColumn(QTableWidget* list);

// The least a page needs that shows, by hand, a list group on the left (two
// buttons above the list) beside a parameter group of fixed size on the
// right, as the data-port and server-port pages do: the group whole, the
// buttons whole, and room for a few rows and columns of the list.
QSize listBesideGroupMinimum(const QWidget* paramGroup, const QWidget* firstButton, const QWidget* secondButton);

// Radio buttons that the page checks freely (several, or none, may show
// checked) but that a click makes exclusive within the group: the clicked
// one is checked and the others cleared before the page hears of the click.
void linkRadioButtons(std::initializer_list<QRadioButton*> buttons);

// Push buttons inside the main dialog must not become its default button.
void noAutoDefault(std::initializer_list<QAbstractButton*> buttons);

}  // namespace velmora
