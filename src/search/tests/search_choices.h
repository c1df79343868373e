#pragma once
// The dialog's choices for a test: keywords, match mode, field and member, the rest as the dialog starts.
#include "search/search_statement.h"

#include <string>

namespace velm::test {

inline SearchChoices choose(std::string keywords, MatchMode mode = MatchMode::And, SearchField field = SearchField::All,
                            std::string member = {})
{
    SearchChoices c;
    c.keywords = std::move(keywords);
    c.mode = mode;
    c.field = field;
    c.member = std::move(member);
    return c;
}

} // namespace velm::test
