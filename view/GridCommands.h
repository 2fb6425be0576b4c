#pragma once

#include <QColor>
#include <QString>
#include <optional>

namespace kve {

class TDBGridPro;

// Clears every sort mark of the grid and drops the tag from the table, back to record
// order. Errors of the table are ignored.
void reset_sort(TDBGridPro &grid, const QString &tag);

// "Убрать сортировку": reset_sort with the grid's own tag.
void remove_sort(TDBGridPro &grid);

// "Выровнять столбцы": every column, the hidden one included, gets the grid's width
// divided by the number of columns; fitting then spreads the visible ones.
void align_columns(TDBGridPro &grid);

// "Убрать все цвета": every column back to the grid's colour.
void clear_column_colours(TDBGridPro &grid);

// "Задать цвет" / "Убрать цвет": the colour of the column with the cell cursor (none: the
// grid's colour).
void set_current_column_colour(TDBGridPro &grid, std::optional<QColor> colour);

// "Удалить строки": drops every sort tag, deletes the selected rows and reopens the table,
// which writes the deletion; a closed table is left closed. Throws TableError when deleting
// or reopening fails.
void delete_selected_rows(TDBGridPro &grid);

// "Перенумеровать строки": N := 1..count in the order the view shows, then the table is
// closed and opened again; a closed table is left as it is. Throws TableError on a failed
// post or reopen.
void renumber_rows(TDBGridPro &grid);

} // namespace kve
