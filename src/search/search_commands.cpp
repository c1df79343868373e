#include "search/search_commands.h"

#include "base/cp950.h"
#include "search/quick_search.h"
#include "search/search_dialog.h"
#include "shell_widgets/messages.h"

namespace velm {

void QuickSearchClick(SearchHost &host, const std::string &keywordCp950)
{
    StartQuickSearch(host, keywordCp950, [](bool found) {
        if (!found)
            ShowMessage(Big5Text(B5("查無資料")));
    });
}

void AdvancedSearchClick(QWidget *owner, SearchHost &host)
{
    TfmSearch::showFor(owner, host);
}

} // namespace velm
