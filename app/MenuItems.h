#pragma once

class QAction;
class QMenu;
class QToolButton;

namespace kve {

// The main window's menus, toolbar buttons and context-menu items, one member per component,
// each named as the component is; every object carries that name as its objectName too.
struct MenuItems {
    QMenu *N1 = nullptr;          // "Файл"
    QAction *N2 = nullptr;        // "Создать"
    QAction *N3 = nullptr;        // "Открыть"
    QAction *N4 = nullptr;        // "Дополнить", hidden
    QAction *N5 = nullptr;        // "Сохранить"
    QAction *N7 = nullptr;        // "Закрыть"
    QAction *N8 = nullptr;        // "Предварительный просмотр"
    QAction *N9 = nullptr;        // "Печать"
    QAction *N11 = nullptr;       // "Выход"

    QMenu *N16 = nullptr;         // "Вид"
    QAction *N23 = nullptr;       // "Выровнять столбцы"
    QAction *N17 = nullptr;       // "Задать цвет"
    QAction *N18 = nullptr;       // "Убрать цвет"
    QAction *N19 = nullptr;       // "Убрать все цвета"
    QAction *N33 = nullptr;       // "Убрать сортировку"

    QMenu *N20 = nullptr;         // "Правка"
    QAction *N21 = nullptr;       // "Удалить строки"

    QMenu *N14 = nullptr;         // "Сервис"
    QAction *Excel1 = nullptr;    // "Экспорт в Excel"
    QAction *N37 = nullptr;       // "Перенумеровать строки", hidden
    QAction *N15 = nullptr;       // "Построить график", hidden
    QAction *N39 = nullptr;       // "Рассчитать ", hidden

    QMenu *N22 = nullptr;         // "Справка"
    QAction *N24 = nullptr;       // "Помощь"
    QAction *N26 = nullptr;       // "О программе"

    // Buttons 1..5 show N2, N3, N5, N8 and N9; button 6 has an action of its own.
    QToolButton *ToolButton1 = nullptr;
    QToolButton *ToolButton2 = nullptr;
    QToolButton *ToolButton3 = nullptr;
    QToolButton *ToolButton4 = nullptr;
    QToolButton *ToolButton5 = nullptr;
    QToolButton *ToolButton6 = nullptr;
    QAction *ToolButton6Action = nullptr;   // "Помощь"

    // PopupMenu1, the grid context menu.
    QAction *N27 = nullptr;       // "График", hidden
    QAction *N28 = nullptr;       // "Печать"
    QAction *N29 = nullptr;       // "Задать цвет"
    QAction *N30 = nullptr;       // "Убрать цвет"
    QAction *N31 = nullptr;       // "Убрать все цвета"
    QAction *N32 = nullptr;       // "Выровнять столбцы"
    QAction *N34 = nullptr;       // "Удалить"
};

// One menu or context-menu item, or the toolbar's own action.
using MenuItem = QAction *MenuItems::*;

} // namespace kve
