#pragma once
// The main window's two search commands, for its toolbar handlers to call inside guarded().
#include <string>

class QWidget;

namespace velm {

class SearchHost;

// ToolButton9Click: the quick search for EditSearch's text as typed; "查無資料" when it finds no row.
void QuickSearchClick(SearchHost &host, const std::string &keywordCp950);
// ToolButton3Click: the advanced search dialog, or the one already open brought forward.
void AdvancedSearchClick(QWidget *owner, SearchHost &host);

} // namespace velm
