#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Text helpers shared by every subsystem. None of them logs or throws; each
// reports failure through its result.
namespace quarvel {

// printf into `buffer` of `size` bytes. The output is always terminated; it is
// cut to fit when too long. Returns the number of characters written, or -1
// when the output was cut or formatting failed.
int FormatString(char* buffer, std::size_t size, const char* format, ...)
    __attribute__((format(gnu_printf, 3, 4)));

// The same for wide text; output that does not fit makes the call fail with -1.
int FormatWideString(wchar_t* buffer, std::size_t size, const wchar_t* format, ...);

// Replaces the first "{0}", then the first "{1}", ... with args[0], args[1], ...
// Each search runs over the text as already changed.
void FormatPlaceholders(std::string& text, const std::vector<std::string>& args);

// Replaces the first occurrence of `what`; false (text unchanged) when absent.
bool ReplaceFirst(std::string& text, const std::string& what, const std::string& with);

// Splits at any of `delimiters`; runs of delimiters give no empty items. A text
// without any delimiter gives an empty list.
std::vector<std::string> SplitByAny(const std::string& text, const std::string& delimiters);

// Equality after folding 'A'..'Z' to 'a'..'z'; other bytes compare exactly.
bool EqualsIgnoreCaseAscii(const char* a, const char* b);

// Copies at most size - 1 characters and terminates when size > 0. Returns the
// full length of `source`: a result >= size means the copy was cut.
std::size_t CopyWideTruncated(wchar_t* destination, const wchar_t* source, std::size_t size);

// `full` receives the whole path, `extension` the text from the last '.' (dot
// included) unless there is none or it is the last character. The search does
// not stop at directory separators. Does nothing for a null path.
void SplitFileExtension(const char* path, std::string& full, std::string& extension);

}  // namespace quarvel
