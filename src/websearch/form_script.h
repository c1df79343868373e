#pragma once
// UWebBrowser's page work as JavaScript source: values travel as escaped string literals, never spliced raw.
#include <string>
#include <string_view>

namespace velm {

// A double-quoted JavaScript string literal of UTF-8 text, itself pure ASCII: quotes, backslashes, angle
// brackets, ampersands, controls and everything beyond ASCII are \u escapes, so no text can end it early.
std::string JsStringLiteral(std::string_view utf8);

// Puts the value into the first element named (or with the id) fieldName of document.forms[formNumber]
// when both texts are non-empty, then submits that form. Every failure of either step is swallowed;
// the script's result is true when the submit was made.
std::string FormFillScript(int formNumber, std::string_view fieldNameUtf8, std::string_view fieldValueUtf8);

} // namespace velm
