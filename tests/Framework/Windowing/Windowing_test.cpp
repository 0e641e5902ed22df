// The Framework's windowing layer under a real window manager: message maps and their chaining,
// reflection of notifications to the controls that sent them, control binding, the handle map,
// the modal loop with its PreTranslateMessage walk, and the GDI wrappers' ownership.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Afx.h"
#include "WindowCapture.h"

namespace {

const UINT IDD_HOST = 8001;
const UINT IDD_MODAL = 8002;
const UINT IDD_CHILD = 8003;
const UINT WM_TEST_PING = WM_APP + 1;

// An owner-drawn button that records its drawing and a reflected colour request.
class CRecordingButton : public CButton
{
public:
    void DrawItem(LPDRAWITEMSTRUCT item) override
    {
        ++m_draws;
        m_lastItemId = item->CtlID;
    }
    int m_draws = 0;
    UINT m_lastItemId = 0;
    int m_presubclassCalls = 0;
    HWND m_handleAtPresubclass = nullptr;
    WNDPROC m_procAtPresubclass = nullptr;

protected:
    void PreSubclassWindow() override
    {
        ++m_presubclassCalls;
        m_handleAtPresubclass = m_hWnd;
        m_procAtPresubclass = reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC));
    }
};

class CReflectingStatic : public CStatic
{
public:
    HBRUSH m_brush = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
    int m_colourRequests = 0;

protected:
    HBRUSH CtlColor(CDC* dc, UINT kind)
    {
        ++m_colourRequests;
        dc->SetTextColor(RGB(1, 2, 3));
        return kind == CTLCOLOR_STATIC ? m_brush : nullptr;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CReflectingStatic, CStatic)
    ON_WM_CTLCOLOR_REFLECT()
END_MESSAGE_MAP()

class CReflectingList : public CListCtrl
{
public:
    int m_clicks = 0;

protected:
    void OnClick(NMHDR*, LRESULT* result)
    {
        ++m_clicks;
        *result = 7;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CReflectingList, CListCtrl)
    ON_NOTIFY_REFLECT(NM_CLICK, OnClick)
END_MESSAGE_MAP()

class CBaseHost : public CDialog
{
public:
    CBaseHost() : CDialog(IDD_HOST) {}
    std::vector<std::string> m_calls;

protected:
    LRESULT OnPing(WPARAM wParam, LPARAM)
    {
        m_calls.push_back("base ping " + std::to_string(wParam));
        return 11;
    }
    void OnPlain() { m_calls.push_back("base plain"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseHost, CDialog)
    ON_MESSAGE(WM_TEST_PING, OnPing)
    ON_BN_CLICKED(102, OnPlain)
END_MESSAGE_MAP()

class CHost : public CBaseHost
{
public:
    CRecordingButton m_ownerDrawn;
    CReflectingStatic m_static;
    CReflectingList m_list;
    CWnd m_edit;
    int m_parentNotifies = 0;
    int m_initCalls = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        CBaseHost::DoDataExchange(pDX);
        DDX_Control(pDX, 101, m_ownerDrawn);
        DDX_Control(pDX, 103, m_static);
        DDX_Control(pDX, 104, m_edit);
        DDX_Control(pDX, 105, m_list);
    }
    BOOL OnInitDialog() override
    {
        ++m_initCalls;
        return CBaseHost::OnInitDialog();
    }
    // The derived map wins over the base for the same command; the base still gets the ping.
    void OnPlain() { m_calls.push_back("derived plain"); }
    void OnListClick(NMHDR*, LRESULT*) { ++m_parentNotifies; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CHost, CBaseHost)
    ON_BN_CLICKED(102, OnPlain)
    ON_NOTIFY(NM_CLICK, 105, OnListClick)
    ON_NOTIFY(NM_DBLCLK, 105, OnListClick)
END_MESSAGE_MAP()

class WindowingTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_host.Create(IDD_HOST)) << ::GetLastError();
        m_host.ShowWindow(SW_SHOWNOACTIVATE);
        PumpMessages();
    }
    void TearDown() override
    {
        m_host.DestroyWindow();
        AfxDeleteTempMap();
    }
    CHost m_host;
};

TEST_F(WindowingTest, MessageMapsChainToTheBaseAndTheDerivedEntryWins)
{
    EXPECT_EQ(11, m_host.SendMessage(WM_TEST_PING, 5));
    ::SendMessageA(m_host, WM_COMMAND, MAKEWPARAM(102, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(m_host, 102)));
    ASSERT_EQ(2u, m_host.m_calls.size());
    EXPECT_EQ("base ping 5", m_host.m_calls[0]);
    EXPECT_EQ("derived plain", m_host.m_calls[1]);
    // A message without an entry reaches the dialog's own procedure.
    m_host.SetWindowText("Renamed");
    EXPECT_STREQ("Renamed", m_host.GetWindowText());
    EXPECT_EQ(1, m_host.m_initCalls);
}

TEST_F(WindowingTest, ControlBindingSubclassesOnceAfterPreSubclassWindow)
{
    CRecordingButton& button = m_host.m_ownerDrawn;
    EXPECT_EQ(1, button.m_presubclassCalls);
    EXPECT_EQ(::GetDlgItem(m_host, 101), button.m_handleAtPresubclass);
    // PreSubclassWindow ran before the window procedure was replaced.
    EXPECT_EQ(reinterpret_cast<WNDPROC>(&AfxWndProc), reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(button, GWLP_WNDPROC)));
    EXPECT_NE(reinterpret_cast<WNDPROC>(&AfxWndProc), button.m_procAtPresubclass);
    EXPECT_EQ(&button, CWnd::FromHandlePermanent(button));
    m_host.UpdateData(FALSE);
    EXPECT_EQ(1, button.m_presubclassCalls);
    // The subclassed edit still behaves as an edit (Default reaches the original procedure).
    m_host.m_edit.SetWindowText("typed");
    EXPECT_STREQ("typed", m_host.GetDlgItemText(104));
}

TEST_F(WindowingTest, NotificationsAreReflectedToTheSendingControl)
{
    // WM_DRAWITEM from the owner-drawn button goes to the button's DrawItem.
    m_host.m_ownerDrawn.Invalidate();
    m_host.m_ownerDrawn.UpdateWindow();
    EXPECT_GE(m_host.m_ownerDrawn.m_draws, 1);
    EXPECT_EQ(101u, m_host.m_ownerDrawn.m_lastItemId);

    // NM_CLICK: handled by the list's reflected entry; the parent's entry is not called.
    NMHDR header = {};
    header.hwndFrom = m_host.m_list;
    header.idFrom = 105;
    header.code = NM_CLICK;
    EXPECT_EQ(7, ::SendMessageA(m_host, WM_NOTIFY, 105, reinterpret_cast<LPARAM>(&header)));
    EXPECT_EQ(1, m_host.m_list.m_clicks);
    EXPECT_EQ(0, m_host.m_parentNotifies);
    // A code the list has no entry for reaches the parent's map.
    header.code = NM_DBLCLK;
    ::SendMessageA(m_host, WM_NOTIFY, 105, reinterpret_cast<LPARAM>(&header));
    EXPECT_EQ(1, m_host.m_parentNotifies);

    // WM_CTLCOLORSTATIC: the static answers with its own brush and colours.
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    m_host.m_static.m_colourRequests = 0;
    const LRESULT brush = ::SendMessageA(m_host, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                         reinterpret_cast<LPARAM>(m_host.m_static.m_hWnd));
    EXPECT_EQ(reinterpret_cast<LRESULT>(m_host.m_static.m_brush), brush);
    EXPECT_EQ(RGB(1, 2, 3), ::GetTextColor(dc));
    EXPECT_EQ(1, m_host.m_static.m_colourRequests);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
}

TEST_F(WindowingTest, HandleMapKeepsPermanentAndTemporaryObjectsApart)
{
    HWND plain = ::GetDlgItem(m_host, 102);
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(plain));
    CWnd* temporary = CWnd::FromHandle(plain);
    ASSERT_NE(nullptr, temporary);
    EXPECT_EQ(plain, temporary->m_hWnd);
    EXPECT_EQ(temporary, m_host.GetDlgItem(102));
    EXPECT_EQ(&m_host, CWnd::FromHandle(m_host));
    AfxDeleteTempMap();
    EXPECT_EQ(nullptr, CWnd::FromHandle(nullptr));

    // Destroying a bound window detaches its object.
    HWND edit = m_host.m_edit;
    ::DestroyWindow(edit);
    EXPECT_EQ(nullptr, m_host.m_edit.m_hWnd);
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(edit));
}

TEST_F(WindowingTest, ModelessChildPageLivesInsideItsParent)
{
    CDialog page(IDD_CHILD, &m_host);
    ASSERT_TRUE(page.Create(IDD_CHILD, &m_host));
    EXPECT_EQ(m_host.m_hWnd, ::GetParent(page));
    EXPECT_TRUE(page.IsWindowVisible());
    EXPECT_TRUE(m_host.IsChild(&page));
    page.DestroyWindow();
    EXPECT_EQ(nullptr, page.m_hWnd);
}

// ---- The modal loop ----------------------------------------------------------------------------

class CModal : public CDialog
{
public:
    explicit CModal(CWnd* parent) : CDialog(IDD_MODAL, parent) {}
    std::vector<HWND> m_offered;
    BOOL m_ownerEnabledInside = TRUE;
    HWND m_owner = nullptr;
    bool m_loopRan = false;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
        m_ownerEnabledInside = m_owner ? ::IsWindowEnabled(m_owner) : TRUE;
        // Drive the loop: a message for the button, then a timer that ends the dialog.
        ::PostMessageA(::GetDlgItem(m_hWnd, 201), WM_TEST_PING, 0, 0);
        SetTimer(1, 10);
        return TRUE;
    }
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (msg->message == WM_TEST_PING)
            m_offered.push_back(m_hWnd);
        return CDialog::PreTranslateMessage(msg);
    }
    void OnTimer(UINT_PTR)
    {
        KillTimer(1);
        m_loopRan = true;
        EndDialog(42);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CModal, CDialog)
    ON_WM_TIMER()
END_MESSAGE_MAP()

// The main window records what reaches its PreTranslateMessage.
class CMainRecorder : public CDialog
{
public:
    CMainRecorder() : CDialog(IDD_HOST) {}
    int m_pings = 0;
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (msg->message == WM_TEST_PING)
            ++m_pings;
        return FALSE;
    }
};

TEST(ModalLoopTest, RunsItsOwnLoopAndWalksPreTranslateUpToTheMainWindow)
{
    CWinApp app("modal");
    CMainRecorder mainWnd;
    ASSERT_TRUE(mainWnd.Create(IDD_HOST));
    app.m_pMainWnd = &mainWnd;

    CModal modal(&mainWnd);
    EXPECT_EQ(42, modal.DoModal());
    EXPECT_TRUE(modal.m_loopRan);
    EXPECT_EQ(nullptr, modal.m_hWnd);
    // The owner was disabled while the dialog ran, and is enabled again.
    EXPECT_FALSE(modal.m_ownerEnabledInside);
    EXPECT_TRUE(mainWnd.IsWindowEnabled());
    // The button's message was offered to the dialog, then to the main window (its owner).
    ASSERT_EQ(1u, modal.m_offered.size());
    EXPECT_EQ(1, mainWnd.m_pings);
    mainWnd.DestroyWindow();
}

TEST(ModalLoopTest, EndDialogInsideInitialisationSkipsTheLoop)
{
    class CQuick : public CDialog
    {
    public:
        CQuick() : CDialog(IDD_MODAL) {}
        BOOL OnInitDialog() override
        {
            EndDialog(IDCANCEL);
            return TRUE;
        }
    } quick;
    EXPECT_EQ(IDCANCEL, quick.DoModal());
    // A template that does not exist.
    CDialog missing(4242);
    EXPECT_EQ(-1, missing.DoModal());
}

// ---- Message boxes ------------------------------------------------------------------------------

// What a message-box handler saw of its owner, and a window it activates as a real box would.
struct SEEN_BOX
{
    HWND owner = nullptr;
    BOOL ownerEnabled = TRUE;
    HWND activateInside = nullptr;
};
SEEN_BOX g_seenBox;

int SeeMessageBox(HWND owner, const char*, const char*, UINT)
{
    g_seenBox.owner = owner;
    g_seenBox.ownerEnabled = owner ? ::IsWindowEnabled(owner) : TRUE;
    if (g_seenBox.activateInside)
        ::SetActiveWindow(g_seenBox.activateInside);
    return IDOK;
}

DWORD WINAPI BoxFromAnotherThread(void*)
{
    AfxMessageBox("from a worker");
    return 0;
}

// A box asked for on a thread of its own, while this thread goes on handling its windows'
// messages, as the program's window thread does while its update worker asks.
SEEN_BOX BoxSeenFromAnotherThread()
{
    g_seenBox = SEEN_BOX();
    HANDLE thread = ::CreateThread(nullptr, 0, &BoxFromAnotherThread, nullptr, 0, nullptr);
    EXPECT_NE(nullptr, thread);
    const DWORD start = ::GetTickCount();
    while (thread && ::MsgWaitForMultipleObjects(1, &thread, FALSE, 50, QS_ALLINPUT) != WAIT_OBJECT_0 &&
           ::GetTickCount() - start < 30000)
        PumpMessages();
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(thread, 0)) << "the worker's box did not return";
    ::CloseHandle(thread);
    return g_seenBox;
}

TEST(MessageBoxTest, ABoxIsOwnedByTheProgramsWindowWhichTakesNoInputMeanwhile)
{
    const AfxMessageBoxHandler previous = AfxSetMessageBoxHandler(&SeeMessageBox);
    CWinApp app("boxes");
    CHost main;
    app.m_pMainWnd = &main;

    // Before the main window exists (start-up errors), a box has no owner.
    ASSERT_EQ(nullptr, ::GetActiveWindow());
    AfxMessageBox("at start-up");
    EXPECT_EQ(nullptr, g_seenBox.owner);
    EXPECT_EQ(nullptr, BoxSeenFromAnotherThread().owner);

    ASSERT_TRUE(main.Create(IDD_HOST));
    main.ShowWindow(SW_SHOW);
    CDialog other(IDD_MODAL);
    ASSERT_TRUE(other.Create(IDD_MODAL));
    other.ShowWindow(SW_SHOWNOACTIVATE);
    ::SetActiveWindow(main.m_hWnd);
    PumpMessages();
    ASSERT_EQ(main.m_hWnd, ::GetActiveWindow());

    // None named: the active window; a child named: its top-level window. Either way it takes
    // no input while the box is open, and afterwards it is enabled and active again, also when
    // the box had taken the activation.
    g_seenBox = SEEN_BOX();
    g_seenBox.activateInside = other.m_hWnd;
    AfxMessageBox("none named");
    EXPECT_EQ(main.m_hWnd, g_seenBox.owner);
    EXPECT_FALSE(g_seenBox.ownerEnabled);
    EXPECT_TRUE(main.IsWindowEnabled());
    EXPECT_EQ(main.m_hWnd, ::GetActiveWindow());
    g_seenBox = SEEN_BOX();
    AfxMessageBox("a child named", MB_OK, ::GetDlgItem(main.m_hWnd, 102));
    EXPECT_EQ(main.m_hWnd, g_seenBox.owner);
    EXPECT_FALSE(g_seenBox.ownerEnabled);
    EXPECT_TRUE(main.IsWindowEnabled());

    // Another thread's box: above what the window thread shows now, the main window or a
    // dialog in front of it.
    SEEN_BOX seen = BoxSeenFromAnotherThread();
    EXPECT_EQ(main.m_hWnd, seen.owner);
    EXPECT_FALSE(seen.ownerEnabled);
    ::SetActiveWindow(other.m_hWnd);
    seen = BoxSeenFromAnotherThread();
    EXPECT_EQ(other.m_hWnd, seen.owner);
    EXPECT_FALSE(seen.ownerEnabled);
    EXPECT_TRUE(other.IsWindowEnabled());
    EXPECT_TRUE(main.IsWindowEnabled());

    // An owner that was disabled already (a modal dialog above it) stays so.
    main.EnableWindow(FALSE);
    AfxMessageBox("a child named", MB_OK, main.m_hWnd);
    EXPECT_FALSE(main.IsWindowEnabled());
    main.EnableWindow(TRUE);

    other.DestroyWindow();
    main.DestroyWindow();
    app.m_pMainWnd = nullptr;
    AfxSetMessageBoxHandler(previous);
}

// ---- GDI wrappers ------------------------------------------------------------------------------

TEST(GdiWrapperTest, ObjectsFreeTheirHandlesAndBorrowedOnesStay)
{
    const int before = LiveGdiObjects();
    for (int i = 0; i < 500; ++i) {
        CBrush brush(RGB(i & 0xFF, 0, 0));
        CFont font;
        font.CreatePointFont(90, "Arial");
        CRgn region;
        region.CreateRectRgn(0, 0, i + 1, 10);
        CDC dc;
        dc.CreateCompatibleDC(nullptr);
        CBitmap bitmap;
        bitmap.CreateBitmap(4, 4, 1, 32, nullptr);
        HGDIOBJ old = dc.SelectObject(&bitmap);
        dc.SelectObject(old);
    }
    EXPECT_LT(LiveGdiObjects() - before, 20);

    HBRUSH stock = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    {
        CBrush borrowed;
        borrowed.Attach(stock);
        borrowed.Detach();
    }
    LOGBRUSH info = {};
    EXPECT_NE(0, ::GetObjectA(stock, sizeof(info), &info));

    CFont font;
    ASSERT_TRUE(font.CreatePointFont(100, "Arial"));
    LOGFONTA logFont = {};
    font.GetLogFont(&logFont);
    EXPECT_LT(logFont.lfHeight, 0);
    EXPECT_STREQ("Arial", logFont.lfFaceName);
}

TEST(GdiWrapperTest, RegionsCombine)
{
    CRgn a, b;
    a.CreateRectRgn(0, 0, 10, 10);
    b.CreateRectRgn(5, 5, 20, 20);
    EXPECT_EQ(COMPLEXREGION, a.CombineRgn(&a, &b, RGN_OR));
    EXPECT_TRUE(a.PtInRegion(15, 15));
    EXPECT_FALSE(a.PtInRegion(15, 2));
}

} // namespace

TEST_F(WindowingTest, TreeControlReadsLongTextsWholeAndKeepsItemState)
{
    INITCOMMONCONTROLSEX controls = { sizeof(controls), ICC_TREEVIEW_CLASSES };
    ::InitCommonControlsEx(&controls);
    CTreeCtrl tree;
    ASSERT_TRUE(tree.Create(WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS, CRect(0, 0, 200, 120), &m_host, 300));
    const std::string longText = std::string(5000, 'x') + "end";
    const HTREEITEM root = tree.InsertItem("Root", 0, 0);
    const HTREEITEM child = tree.InsertItem(longText.c_str(), 1, 1, root);
    ASSERT_TRUE(root && child);
    // Texts come back whole, however long; short ones too.
    EXPECT_EQ(CString(longText.c_str()), tree.GetItemText(child));
    EXPECT_EQ(CString("Root"), tree.GetItemText(root));
    const std::string justOverABuffer(263, 'y');
    for (const char* text : { "", "a", justOverABuffer.c_str() }) {
        ASSERT_TRUE(tree.SetItemText(root, text));
        EXPECT_EQ(CString(text), tree.GetItemText(root));
    }
    EXPECT_TRUE(tree.SetItemData(child, 77));
    EXPECT_EQ(77u, tree.GetItemData(child));
    EXPECT_TRUE(tree.SetItemState(child, INDEXTOSTATEIMAGEMASK(2), TVIS_STATEIMAGEMASK));
    EXPECT_EQ(2u, tree.GetItemState(child, TVIS_STATEIMAGEMASK) >> 12);
    EXPECT_EQ(root, tree.GetParentItem(child));
    EXPECT_EQ(child, tree.GetChildItem(root));
    EXPECT_EQ(2u, tree.GetCount());
    EXPECT_TRUE(tree.DeleteItem(child));
    EXPECT_FALSE(tree.ItemHasChildren(root));
    tree.DestroyWindow();
}
