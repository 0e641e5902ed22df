// Restore of registry backup files (".rbk").
//
// The file is read twice. The first reading checks every node (nesting and end tags, every
// attribute, every value's text for its type, the depth of keys) and writes nothing, so a file
// that was cut short or damaged leaves the registry as it was. The second reading writes. Each
// reading holds one value at a time, never the whole file, and takes time in proportion to the
// file's size.
#include "RegistryManager.h"

#include <string>
#include <vector>

#include "BackupFormat.h"
#include "BackupText.h"
#include "RegistryPath.h"
#include "Xml/XmlReader.h"

namespace {

const char kDefaultName[] = "(Default)";
const char kUnreadableFile[] = "The backup file cannot be read";
// A restore reports one progress step per this many nodes read while it writes.
const int kNodesPerProgressStep = 1500;
const REGSAM kRestoreAccess = KEY_CREATE_SUB_KEY | KEY_SET_VALUE;
// The registry's limits on names.
const size_t kMaxKeyNameLength = 255;
const size_t kMaxValueNameLength = 16383;
// A name quoted in an error message is cut to this length.
const int kQuotedLength = 40;
// Room for the bytes of one value is given back after a value larger than this.
const size_t kLargeValue = 1024 * 1024;

enum ELEMENT_KIND { ELEMENT_REGISTRY, ELEMENT_KEY, ELEMENT_VALUE };
// The element names, by kind.
const char* const kElementNames[] = {"registry", "k", "v"};

// The attributes of a value, one bit each, so that a repeated one is told.
enum VALUE_ATTRIBUTE : unsigned {
    ATTRIBUTE_NAME = 1,
    ATTRIBUTE_VALUE = 2,
    ATTRIBUTE_TYPE = 4,
    ATTRIBUTE_ENCODING = 8,
    ATTRIBUTE_LITERAL = 16,
};

struct ValueAttribute {
    const char* name;
    VALUE_ATTRIBUTE bit;
};

const ValueAttribute kValueAttributes[] = {
    {"name", ATTRIBUTE_NAME},         {"value", ATTRIBUTE_VALUE},     {"type", ATTRIBUTE_TYPE},
    {"encoding", ATTRIBUTE_ENCODING}, {"literal", ATTRIBUTE_LITERAL},
};

bool IsNamed(const CString& text, const char* name)
{
    return EqualsNoCaseAscii(text.Str(), name);
}

bool IsBlankText(const CString& text)
{
    for (char ch : text.Str())
        if (ch != ' ' && ch != '\t' && ch != '\r' && ch != '\n')
            return false;
    return true;
}

CString Quoted(const CString& text)
{
    return "'" + (text.GetLength() > kQuotedLength ? text.Left(kQuotedLength) + "..." : text) + "'";
}

CString Narrow(const std::wstring& text)
{
    std::string ansi;
    WideToAnsiExact(text.data(), static_cast<int>(text.size()), &ansi);
    return CString(ansi);
}

// An element that is open in the file.
struct OpenElement {
    ELEMENT_KIND kind = ELEMENT_REGISTRY;
    // Keys only.
    bool named = false;
    std::wstring name;
    HKEY key = nullptr;   // open for writing; null while nothing is written or when it failed
    bool owned = false;   // opened here (a root is not)
    bool failed = false;  // this key, or one above it, could not be written
};

// The value being read from its attributes. They act in the order they stand, as they always
// have: "name" comes first, and "value" drops a type given before it. One is kept for the whole
// reading, so that its buffers serve value after value.
struct PendingValue {
    void Start()
    {
        seen = 0;
        name.clear();
        data.clear();
        typed = hex = literal = false;
        typeName.Empty();
    }
    unsigned seen = 0;
    std::wstring name;
    std::string data;  // as it stands in the file
    bool typed = false;
    CString typeName;
    bool hex = false;
    bool literal = false;
};

// One reading of a backup file from its first line.
class CRestorePass
{
public:
    CRestorePass(CXmlReader* reader, bool write, _RESTORE_RESULT* result, CAbstractStatus* status)
        : m_reader(reader), m_write(write), m_result(result), m_status(status)
    {
    }
    ~CRestorePass()
    {
        for (const OpenElement& element : m_open)
            if (element.owned)
                ::RegCloseKey(element.key);
    }
    CRestorePass(const CRestorePass&) = delete;
    CRestorePass& operator=(const CRestorePass&) = delete;

    // False, with GetError, when the file fails its check.
    bool Run();
    const CString& GetError() const { return m_error; }

private:
    bool OnNode(int type);
    bool OnStartTag();
    bool OnAttribute();
    bool OnEndTag();
    bool OnDeclaration();
    // Ends the attributes of the element last started: a key has its name by then.
    bool CloseStartTag();
    bool OnKeyName(OpenElement* element);
    bool OnValueAttribute(const CString& attribute);
    bool EndValue();
    void CreateKey(OpenElement* element);
    void WriteValue(const OpenElement& key, DWORD type);
    CString KeyPath() const;
    int OpenKeyCount() const;
    bool Fail(const CString& detail);

    CXmlReader* m_reader;
    bool m_write;
    _RESTORE_RESULT* m_result;
    CAbstractStatus* m_status;
    std::vector<OpenElement> m_open;
    PendingValue m_value;
    std::vector<BYTE> m_data;
    bool m_inStartTag = false;
    bool m_inDeclaration = false;
    bool m_declarationSeen = false;
    bool m_rootSeen = false;
    bool m_rootClosed = false;
    CString m_error;
};

bool CRestorePass::Run()
{
    int nodes = 0;
    while (m_reader->Read()) {
        if (m_write && ++nodes == kNodesPerProgressStep) {
            nodes = 0;
            if (m_status)
                m_status->SetProgress(PROGRESS_STEP);
        }
        if (!OnNode(m_reader->GetNodeType()))
            return false;
    }
    if (m_reader->HasFailed()) {
        m_error = m_reader->GetErrorMessage();
        if (m_error.IsEmpty())
            m_error = kUnreadableFile;
        return false;
    }
    // A file cut after a complete line ends without closing what it opened.
    if (!m_rootClosed)
        return Fail("Unexpected end of file");
    return true;
}

bool CRestorePass::OnNode(int type)
{
    if (type != CXmlReader::NODE_NONE && type != CXmlReader::NODE_ATTRIBUTE)
        m_inDeclaration = false;
    switch (type) {
    case CXmlReader::NODE_START_TAG: return OnStartTag();
    case CXmlReader::NODE_ATTRIBUTE: return OnAttribute();
    case CXmlReader::NODE_END_TAG: return OnEndTag();
    case CXmlReader::NODE_TEXT:
        // Only the indentation between elements.
        return CloseStartTag() && (IsBlankText(m_reader->GetText()) || Fail("Unexpected text"));
    case CXmlReader::NODE_DECLARATION: return OnDeclaration();
    case CXmlReader::NODE_COMMENT: return CloseStartTag();
    case CXmlReader::NODE_CDATA: return Fail("Unexpected CDATA section");
    default: return true;
    }
}

bool CRestorePass::OnStartTag()
{
    if (!CloseStartTag())
        return false;
    const CString& tag = m_reader->GetName();
    OpenElement element;
    if (IsNamed(tag, "registry"))
        element.kind = ELEMENT_REGISTRY;
    else if (IsNamed(tag, "k"))
        element.kind = ELEMENT_KEY;
    else if (IsNamed(tag, "v"))
        element.kind = ELEMENT_VALUE;
    else
        return Fail("Unknown element " + Quoted(tag));

    // One "registry" holds the keys; a key holds values and keys; a value holds nothing.
    const bool placed =
        element.kind == ELEMENT_REGISTRY
            ? m_open.empty() && !m_rootSeen
            : !m_open.empty() && (element.kind == ELEMENT_KEY ? m_open.back().kind != ELEMENT_VALUE
                                                               : m_open.back().kind == ELEMENT_KEY);
    if (!placed)
        return Fail("Misplaced element " + Quoted(tag));
    // The first key is a root; the keys inside it are counted from 1.
    if (element.kind == ELEMENT_KEY && OpenKeyCount() > CRegistryManager::kMaxKeyDepth)
        return Fail("Keys nested too deeply");
    if (element.kind == ELEMENT_REGISTRY)
        m_rootSeen = true;
    if (element.kind == ELEMENT_VALUE)
        m_value.Start();
    m_open.push_back(element);
    m_inStartTag = true;
    return true;
}

bool CRestorePass::OnAttribute()
{
    const CString& attribute = m_reader->GetAttributeName();
    if (m_inDeclaration) {
        if (IsNamed(attribute, "encoding") && !IsNamed(CString(m_reader->GetAttributeValue()), "UTF-8"))
            return Fail("Unsupported encoding");
        return true;
    }
    if (!m_inStartTag || m_open.empty())
        return Fail("Misplaced attribute " + Quoted(attribute));
    OpenElement& element = m_open.back();
    switch (element.kind) {
    case ELEMENT_KEY:
        if (!IsNamed(attribute, "name"))
            return Fail("Unknown attribute " + Quoted(attribute));
        if (element.named)
            return Fail("Repeated attribute " + Quoted(attribute));
        return OnKeyName(&element);
    case ELEMENT_VALUE: return OnValueAttribute(attribute);
    default: return Fail("Unknown attribute " + Quoted(attribute));
    }
}

bool CRestorePass::OnKeyName(OpenElement* element)
{
    if (!FileTextToWide(m_reader->GetAttributeValue(), &element->name))
        return Fail("Bad text in a key name");
    element->named = true;
    if (m_open.size() == 2) {
        // Directly inside "registry": a root, which is opened by its name, never created.
        const HKEY root = RegistryRootFromName(Narrow(element->name));
        if (!root)
            return Fail("Unknown root key " + Quoted(Narrow(element->name)));
        element->key = m_write ? root : nullptr;
        return true;
    }
    if (element->name.empty() || element->name.size() > kMaxKeyNameLength ||
        element->name.find(L'\\') != std::wstring::npos)
        return Fail("Bad key name " + Quoted(Narrow(element->name)));
    if (m_write)
        CreateKey(element);
    return true;
}

void CRestorePass::CreateKey(OpenElement* element)
{
    const OpenElement& parent = m_open[m_open.size() - 2];
    if (parent.failed) {
        element->failed = true;
        ++m_result->KeysSkipped;
        return;
    }
    HKEY key = nullptr;
    if (::RegCreateKeyExW(parent.key, element->name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kRestoreAccess,
                          nullptr, &key, nullptr) == ERROR_SUCCESS) {
        element->key = key;
        element->owned = true;
        ++m_result->KeysRestored;
        return;
    }
    // What lies inside is skipped; the keys after it are restored all the same.
    element->failed = true;
    ++m_result->KeysFailed;
    m_result->FailedKeys.push_back(KeyPath());
}

bool CRestorePass::OnValueAttribute(const CString& attribute)
{
    VALUE_ATTRIBUTE bit = ATTRIBUTE_NAME;
    bool known = false;
    for (const ValueAttribute& entry : kValueAttributes) {
        if (IsNamed(attribute, entry.name)) {
            bit = entry.bit;
            known = true;
        }
    }
    if (!known)
        return Fail("Unknown attribute " + Quoted(attribute));
    if (m_value.seen & bit)
        return Fail("Repeated attribute " + Quoted(attribute));
    if (bit != ATTRIBUTE_NAME && !(m_value.seen & ATTRIBUTE_NAME))
        return Fail("Value attribute before the value's name");
    m_value.seen |= bit;
    const std::string& text = m_reader->GetAttributeValue();
    switch (bit) {
    case ATTRIBUTE_NAME:
        if (!FileTextToWide(text, &m_value.name) || m_value.name.size() > kMaxValueNameLength)
            return Fail("Bad value name");
        return true;
    case ATTRIBUTE_VALUE:
        m_reader->TakeAttributeValue(&m_value.data);
        m_value.typed = false;
        m_value.typeName.Empty();
        return true;
    case ATTRIBUTE_TYPE:
        m_value.typed = true;
        m_value.typeName = CString(text);
        return true;
    case ATTRIBUTE_ENCODING:
        m_value.hex = IsNamed(CString(text), "hex");
        return m_value.hex || Fail("Unknown encoding");
    case ATTRIBUTE_LITERAL:
        if (text != "1" && text != "0")
            return Fail("Bad attribute 'literal'");
        m_value.literal = text == "1";
        return true;
    }
    return true;
}

bool CRestorePass::EndValue()
{
    if (!(m_value.seen & ATTRIBUTE_NAME))
        return Fail("Value without a name");
    if (!(m_value.seen & ATTRIBUTE_VALUE))
        return Fail("Value without data");
    DWORD type = REG_NONE;
    if (!ParseBackupValue(m_value.data, m_value.typed ? &m_value.typeName : nullptr, m_value.hex, &type,
                          &m_data))
        return Fail("Bad data for the value's type");
    // A large text is not kept once its bytes are known.
    if (m_value.data.capacity() > kLargeValue)
        std::string().swap(m_value.data);
    if (m_write)
        WriteValue(m_open[m_open.size() - 2], type);
    if (m_data.capacity() > kLargeValue)
        std::vector<BYTE>().swap(m_data);
    return true;
}

void CRestorePass::WriteValue(const OpenElement& key, DWORD type)
{
    if (key.failed || !key.key) {
        ++m_result->ValuesSkipped;
        return;
    }
    // "(Default)" stands for the unnamed value, unless the value is marked as really so named.
    const bool unnamed = !m_value.literal && (m_value.name.empty() || EqualsNoCaseAscii(m_value.name, kDefaultName));
    const LONG result = ::RegSetValueExW(key.key, unnamed ? nullptr : m_value.name.c_str(), 0, type,
                                         m_data.empty() ? nullptr : m_data.data(), static_cast<DWORD>(m_data.size()));
    if (result == ERROR_SUCCESS)
        ++m_result->ValuesRestored;
    else
        ++m_result->ValuesFailed;
}

bool CRestorePass::OnEndTag()
{
    if (!CloseStartTag())
        return false;
    const CString& tag = m_reader->GetName();
    if (m_open.empty())
        return Fail("End tag " + Quoted(tag) + " without its start");
    const OpenElement& element = m_open.back();
    const char* expected = kElementNames[element.kind];
    if (!IsNamed(tag, expected))
        return Fail("End tag " + Quoted(tag) + " where " + Quoted(expected) + " ends");
    if (element.kind == ELEMENT_VALUE && !EndValue())
        return false;
    if (element.kind == ELEMENT_REGISTRY)
        m_rootClosed = true;
    if (element.owned)
        ::RegCloseKey(element.key);
    m_open.pop_back();
    return true;
}

bool CRestorePass::OnDeclaration()
{
    if (!IsNamed(m_reader->GetDeclaration(), "?xml") || m_declarationSeen || m_rootSeen)
        return Fail("Unexpected declaration " + Quoted(m_reader->GetDeclaration()));
    m_declarationSeen = true;
    m_inDeclaration = true;
    return true;
}

bool CRestorePass::CloseStartTag()
{
    if (!m_inStartTag)
        return true;
    m_inStartTag = false;
    if (m_open.back().kind == ELEMENT_KEY && !m_open.back().named)
        return Fail("Key without a name");
    return true;
}

CString CRestorePass::KeyPath() const
{
    std::wstring path;
    for (const OpenElement& element : m_open) {
        if (element.kind != ELEMENT_KEY)
            continue;
        if (!path.empty())
            path += L'\\';
        path += element.name;
    }
    return Narrow(path);
}

int CRestorePass::OpenKeyCount() const
{
    int count = 0;
    for (const OpenElement& element : m_open)
        if (element.kind == ELEMENT_KEY)
            ++count;
    return count;
}

bool CRestorePass::Fail(const CString& detail)
{
    m_error.Format("Parse error in line %d : (%s)", m_reader->GetLineNumber(), detail.GetString());
    return false;
}

} // namespace

int CRegistryManager::ImportFile(const char* file)
{
    m_continue = 1;
    CXmlReader reader;
    reader.SetFileName(file);
    const int result = ImportXml(&reader);
    m_continue = 0;
    ReportRestore();
    return result;
}

int CRegistryManager::ImportXml(CXmlReader* reader)
{
    m_restore = _RESTORE_RESULT();
    {
        _RESTORE_RESULT counted;
        CRestorePass check(reader, false, &counted, nullptr);
        if (!check.Run()) {
            m_restore.Error = check.GetError();
            reader->Close();
            return 0;
        }
    }
    if (!reader->Rewind()) {
        m_restore.Error = kUnreadableFile;
        reader->Close();
        return 0;
    }
    CRestorePass restore(reader, true, &m_restore, m_status);
    if (!restore.Run())
        m_restore.Error = restore.GetError();
    reader->Close();
    return m_restore.IsComplete() ? 1 : 0;
}

void CRegistryManager::ReportRestore()
{
    if (!m_status)
        return;
    const _RESTORE_RESULT& result = m_restore;
    if (!result.Error.IsEmpty())
        m_status->SetActivity(result.Error, ACTIVITY_RESTORE);
    for (const CString& key : result.FailedKeys)
        m_status->ReportItem(key, 0, ITEM_NOT_DONE, 0);
    if (!result.Error.IsEmpty() && result.KeysRestored + result.ValuesRestored == 0)
        return;
    CString summary;
    summary.Format("Restored %d keys and %d values. Not restored: %d keys and %d values. Skipped below "
                   "them: %d keys and %d values.",
                   result.KeysRestored, result.ValuesRestored, result.KeysFailed, result.ValuesFailed,
                   result.KeysSkipped, result.ValuesSkipped);
    m_status->SetActivity(summary, ACTIVITY_RESTORE);
}
