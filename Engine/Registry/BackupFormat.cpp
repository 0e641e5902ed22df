#include "BackupFormat.h"

#include <cstdio>
#include <cstring>

#include "BackupText.h"

namespace {

const char kHexDigits[] = "0123456789abcdef";

struct TypeName {
    DWORD type;
    const char* name;
};

// The names of the text form: the types whose text reads back as the same type.
const TypeName kTextTypeNames[] = {
    {REG_BINARY, "REG_BINARY"},
    {REG_DWORD, "REG_DWORD"},
    {REG_SZ, "REG_SZ"},
    {REG_EXPAND_SZ, "REG_EXPAND_SZ"},
    {REG_MULTI_SZ, "REG_MULTI_SZ"},
    {REG_QWORD, "REG_QWORD"},
    {REG_RESOURCE_LIST, "REG_RESOURCE_LIST"},
    {REG_RESOURCE_REQUIREMENTS_LIST, "REG_RESOURCE_REQUIREMENTS_LIST"},
};

// The names of the hex form: every type code its own name; other codes are written "0x%08lx".
const TypeName kExactTypeNames[] = {
    {REG_NONE, "REG_NONE"},
    {REG_SZ, "REG_SZ"},
    {REG_EXPAND_SZ, "REG_EXPAND_SZ"},
    {REG_BINARY, "REG_BINARY"},
    {REG_DWORD, "REG_DWORD"},
    {REG_DWORD_BIG_ENDIAN, "REG_DWORD_BIG_ENDIAN"},
    {REG_LINK, "REG_LINK"},
    {REG_MULTI_SZ, "REG_MULTI_SZ"},
    {REG_RESOURCE_LIST, "REG_RESOURCE_LIST"},
    {REG_FULL_RESOURCE_DESCRIPTOR, "REG_FULL_RESOURCE_DESCRIPTOR"},
    {REG_RESOURCE_REQUIREMENTS_LIST, "REG_RESOURCE_REQUIREMENTS_LIST"},
    {REG_QWORD, "REG_QWORD"},
};

bool FindType(const TypeName* table, size_t count, const CString& name, DWORD* type)
{
    for (size_t i = 0; i < count; ++i) {
        if (EqualsNoCaseAscii(name.Str(), table[i].name)) {
            *type = table[i].type;
            return true;
        }
    }
    return false;
}

const char* FindName(const TypeName* table, size_t count, DWORD type)
{
    for (size_t i = 0; i < count; ++i)
        if (table[i].type == type)
            return table[i].name;
    return nullptr;
}

int HexDigit(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

bool IsStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

bool IsBytesType(DWORD type)
{
    return type == REG_BINARY || type == REG_RESOURCE_LIST || type == REG_RESOURCE_REQUIREMENTS_LIST;
}

void AppendHexByte(std::string* text, BYTE byte)
{
    *text += kHexDigits[byte >> 4];
    *text += kHexDigits[byte & 0x0F];
}

// "0a 1b ff"; no bytes give the empty text.
std::string HexBytes(const BYTE* data, size_t size)
{
    std::string text;
    text.reserve(size * 3);
    for (size_t i = 0; i < size; ++i) {
        if (i)
            text += ' ';
        AppendHexByte(&text, data[i]);
    }
    return text;
}

bool ParseHexBytes(const std::string& text, std::vector<BYTE>* data)
{
    data->clear();
    const size_t length = text.size();
    if (length == 0)
        return true;
    if ((length + 1) % 3 != 0)
        return false;
    data->resize((length + 1) / 3);
    for (size_t i = 0; i < data->size(); ++i) {
        const size_t at = i * 3;
        const int high = HexDigit(text[at]), low = HexDigit(text[at + 1]);
        if (high < 0 || low < 0 || (i && text[at - 1] != ' '))
            return false;
        (*data)[i] = static_cast<BYTE>(high * 16 + low);
    }
    return true;
}

// "0x" and the number's bytes from the last to the first.
std::string HexNumber(const BYTE* data, size_t size)
{
    std::string text = "0x";
    for (size_t i = size; i-- > 0;)
        AppendHexByte(&text, data[i]);
    return text;
}

// The bytes of "0x..." with exactly `size` bytes of hex digits; what follows them is left to
// the caller (its position is returned in *rest).
bool ParseHexNumber(const std::string& text, size_t size, std::vector<BYTE>* data, size_t* rest)
{
    if (text.size() < 2 + 2 * size || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return false;
    data->assign(size, 0);
    for (size_t i = 0; i < size; ++i) {
        const int high = HexDigit(text[2 + 2 * i]), low = HexDigit(text[3 + 2 * i]);
        if (high < 0 || low < 0)
            return false;
        (*data)[size - 1 - i] = static_cast<BYTE>(high * 16 + low);
    }
    *rest = 2 + 2 * size;
    return true;
}

std::string DwordText(const BYTE* data)
{
    DWORD value;
    std::memcpy(&value, data, sizeof(value));
    char number[24];
    std::snprintf(number, sizeof(number), " (%ld)", static_cast<long>(static_cast<LONG>(value)));
    return HexNumber(data, 4) + number;
}

// "0x0000001e (30)"; the decimal may be left out, but when it stands it must say the same.
bool ParseDword(const std::string& text, std::vector<BYTE>* data)
{
    if (text.empty()) {
        data->assign(4, 0);
        return true;
    }
    size_t rest = 0;
    if (!ParseHexNumber(text, 4, data, &rest))
        return false;
    if (rest == text.size())
        return true;
    if (text.compare(rest, 2, " (") != 0 || text.back() != ')')
        return false;
    const std::string number = text.substr(rest + 2, text.size() - rest - 3);
    const bool negative = !number.empty() && number[0] == '-';
    if (number.size() < (negative ? 2u : 1u) || number.size() > 11)
        return false;
    long long decimal = 0;
    for (size_t i = negative ? 1 : 0; i < number.size(); ++i) {
        if (number[i] < '0' || number[i] > '9')
            return false;
        decimal = decimal * 10 + (number[i] - '0');
    }
    if (negative)
        decimal = -decimal;
    DWORD value;
    std::memcpy(&value, data->data(), sizeof(value));
    return decimal == static_cast<long long>(value) || decimal == static_cast<long long>(static_cast<LONG>(value));
}

bool ParseQword(const std::string& text, std::vector<BYTE>* data)
{
    if (text.empty()) {
        data->assign(8, 0);
        return true;
    }
    size_t rest = 0;
    return ParseHexNumber(text, 8, data, &rest) && rest == text.size();
}

// The text of a string value: REG_SZ and REG_EXPAND_SZ up to the first zero, REG_MULTI_SZ
// without its two closing zeros and with CR LF between its strings.
std::wstring StringText(DWORD type, const std::wstring& units)
{
    if (type != REG_MULTI_SZ)
        return units.substr(0, units.find(L'\0'));
    std::wstring text;
    const size_t shown = units.size() >= 2 ? units.size() - 2 : 0;
    text.reserve(shown + shown / 8);
    for (size_t i = 0; i < shown; ++i) {
        if (units[i])
            text += units[i];
        else
            text += L"\r\n";
    }
    return text;
}

// The bytes of a string text: the text and its zero; for REG_MULTI_SZ every LF a zero, every CR
// dropped and two zeros after the last string (the empty text is one zero).
void StringData(DWORD type, const std::wstring& text, std::vector<BYTE>* data)
{
    data->clear();
    data->reserve((text.size() + 2) * sizeof(wchar_t));
    auto append = [data](wchar_t unit) {
        data->push_back(static_cast<BYTE>(unit & 0xFF));
        data->push_back(static_cast<BYTE>(unit >> 8));
    };
    if (type != REG_MULTI_SZ) {
        const BYTE* bytes = reinterpret_cast<const BYTE*>(text.data());
        data->assign(bytes, bytes + text.size() * sizeof(wchar_t));
        append(L'\0');
        return;
    }
    for (wchar_t unit : text) {
        if (unit != L'\r')
            append(unit == L'\n' ? L'\0' : unit);
    }
    append(L'\0');
    if (!text.empty())
        append(L'\0');
}

// The exact text form of a value; false when only the hex form keeps it.
bool FormatText(DWORD type, const BYTE* data, size_t size, std::string* value)
{
    if (IsStringType(type)) {
        if (size % sizeof(wchar_t) != 0)
            return false;
        std::wstring units(size / sizeof(wchar_t), L'\0');
        if (size)
            std::memcpy(&units[0], data, size);
        const std::wstring text = StringText(type, units);
        std::vector<BYTE> back;
        StringData(type, text, &back);
        if (back.size() != size || (size && std::memcmp(back.data(), data, size) != 0))
            return false;
        *value = WideToFileText(text);
        return true;
    }
    // The empty text of these reads back as one zero byte: no bytes need the hex form.
    if (IsBytesType(type) && size > 0) {
        *value = HexBytes(data, size);
        return true;
    }
    if (type == REG_DWORD && size == 4) {
        *value = DwordText(data);
        return true;
    }
    if (type == REG_QWORD && size == 8) {
        *value = HexNumber(data, 8);
        return true;
    }
    return false;
}

// A text of the number and byte forms, which is ASCII: as it stands when it holds no
// reference, else decoded. False for a reference that is bad or stands for no ASCII character.
bool AsciiText(const std::string& value, std::string* decoded, const std::string** text)
{
    if (value.find('&') == std::string::npos) {
        *text = &value;
        return true;
    }
    std::wstring wide;
    if (!FileTextToWide(value, &wide))
        return false;
    decoded->clear();
    for (wchar_t unit : wide) {
        if (unit >= 0x80)
            return false;
        *decoded += static_cast<char>(unit);
    }
    *text = decoded;
    return true;
}

} // namespace

void FormatBackupValue(DWORD type, const BYTE* data, size_t size, _BACKUP_VALUE_TEXT* text)
{
    if (FormatText(type, data, size, &text->value)) {
        text->typeName = type == REG_SZ ? "" : FindName(kTextTypeNames, sizeof(kTextTypeNames) / sizeof(TypeName), type);
        text->hex = false;
        return;
    }
    text->value = HexBytes(data, size);
    const char* name = FindName(kExactTypeNames, sizeof(kExactTypeNames) / sizeof(TypeName), type);
    if (name)
        text->typeName = name;
    else
        text->typeName.Format("0x%08lx", static_cast<unsigned long>(type));
    text->hex = true;
}

bool ParseBackupValue(const std::string& value, const CString* typeName, bool hex, DWORD* type,
                      std::vector<BYTE>* data)
{
    data->clear();
    std::string decoded;
    const std::string* ascii = nullptr;
    if (hex) {
        if (!typeName || !AsciiText(value, &decoded, &ascii))
            return false;
        const CString& name = *typeName;
        if (!FindType(kExactTypeNames, sizeof(kExactTypeNames) / sizeof(TypeName), name, type)) {
            // "0x" and up to eight hex digits: a type code without a name.
            std::vector<BYTE> code;
            size_t rest = 0;
            if (name.GetLength() != 10 || !ParseHexNumber(name.Str(), 4, &code, &rest))
                return false;
            std::memcpy(type, code.data(), sizeof(*type));
        }
        return ParseHexBytes(*ascii, data);
    }
    // No type, or the empty type that older files wrote for types without a name, is text.
    *type = REG_SZ;
    if (typeName && !typeName->IsEmpty() &&
        !FindType(kTextTypeNames, sizeof(kTextTypeNames) / sizeof(TypeName), *typeName, type))
        return false;
    if (IsStringType(*type)) {
        std::wstring text;
        if (!FileTextToWide(value, &text))
            return false;
        StringData(*type, text, data);
        return true;
    }
    if (!AsciiText(value, &decoded, &ascii))
        return false;
    if (IsBytesType(*type)) {
        // Older files wrote no bytes as the empty text, which reads as one zero byte.
        if (ascii->empty()) {
            data->assign(1, 0);
            return true;
        }
        return ParseHexBytes(*ascii, data) && !data->empty();
    }
    return *type == REG_DWORD ? ParseDword(*ascii, data) : ParseQword(*ascii, data);
}
