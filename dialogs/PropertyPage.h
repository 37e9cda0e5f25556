// One page of the property sheet: its template, procedure and title, the
// settings record it edits, and the three operations a page overrides. The
// page keeps its object and guards its commands as every dialog does.
#pragma once
#include "dialogs/ModalDialog.h"
#include "settings/Settings.h"

enum { kPageTitleCapacity = 1024 };

class PropertyPage : public ModalDialog {
public:
    PropertyPage(WORD templateId, UINT titleId, Settings* settings, HINSTANCE instance);
    virtual ~PropertyPage();

    // Fills the controls from the settings.
    virtual void Init(HWND page);
    // A WM_COMMAND of the page; TRUE when handled.
    virtual BOOL Command(HWND page, WPARAM wParam, LPARAM lParam);
    // Checks the controls and stores them into the settings; FALSE keeps the
    // sheet on the page, with the refused field focused.
    virtual BOOL Apply(HWND page);

    WORD Template() const { return template_; }
    DLGPROC Procedure() const { return SharedProc; }
    const wchar_t* Title() const { return title_; }

    // The procedure every page shares: init at WM_INITDIALOG, apply when the
    // user leaves the page and at the sheet's OK, commands to Command.
    static INT_PTR CALLBACK SharedProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(WORD id, WORD code, LPARAM lParam) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Gives the field the focus and selects all its text.
    static void Refuse(HWND page, int id);
    // The field's text as a number: only "0" to "9", empty is 0. FALSE (and
    // the field refused) for any other character or a number past 32 bits.
    static BOOL ReadNumber(HWND page, int id, int capacity, DWORD* value);
    static void ShowNumber(HWND page, int id, DWORD value);

    Settings* settings_;
    HINSTANCE instance_;

private:
    WORD template_;
    wchar_t title_[kPageTitleCapacity];
};
