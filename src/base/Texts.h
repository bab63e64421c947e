#pragma once

#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// Built-in texts: the named constants (DK_...) in Russian and the numbered
// messages in Russian and Kazakh. UTF-8.
inline constexpr int kLangRussian = 1049;
inline constexpr int kLangKazakh = 1087;

// Language of the numbered messages (Russian until a language is applied).
void setMessageLanguage(int languageId);
int messageLanguage();

// A constant's text in the current language: a language file's translation
// when one was applied, else the built-in text; unknown names give "".
std::string constantText(std::string_view name);
// The built-in text, whatever language was applied.
std::string builtInConstantText(std::string_view name);
// Replaces (or, with an empty map, resets) the translations of constants.
void setConstantTranslation(std::string_view name, std::string text);
// Forgets every translation of constants and messages.
void clearConstantTranslations();
// Numbered messages as a language file gives them; they come before the
// built-in Russian and Kazakh texts.
void setMessageTranslations(std::map<int, std::string> messages);
// The names of all constants and the numbers of all messages the program has.
std::vector<std::string_view> constantNames();
std::vector<int> messageNumbers();

// A numbered message in the current message language ("" when unknown).
std::string messageText(int number);
std::string messageText(int number, int languageId);

// Replaces each "%s" in `pattern` by the next argument, in order.
std::string formatText(std::string_view pattern, std::initializer_list<std::string_view> args);
std::string formatMessage(int number, std::initializer_list<std::string_view> args);

// A text about `count` things in the form its language gives that count,
// "%s" replaced by the number. `forms` are separated by "|": one form for
// every count; two for one and the rest (English); three for one, few and
// many as Russian counts them (1, 21: one; 2-4, 22-24: few; 0, 5-20, 25:
// many).
std::string countText(std::string_view forms, unsigned long long count);

}  // namespace vantrel
