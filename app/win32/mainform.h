// MForm on Windows: the same window as the Qt one, drawn with the Win32 API
// at its monitor's scale; both run the commands through the same flows.
#pragma once

#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/flows.h"
#include "app/win32/accessibility.h"

class TMForm {
 public:
  // workDir: Horavia's work directory; ui: the dialogs (Windows' own when null).
  explicit TMForm(std::filesystem::path workDir, std::unique_ptr<enlazor::UiServices> ui = nullptr);
  ~TMForm();
  TMForm(const TMForm&) = delete;
  TMForm& operator=(const TMForm&) = delete;

  // Shows the window, centred, with the focus on BClose.
  void Show();
  // Runs the message loop until the window closes; the program's exit code.
  int Run();
  // The keys the window answers: Tab and Shift+Tab along BClose, BExportar,
  // BImportar; Enter on the focused button; S and Alt+S close; Escape does
  // nothing. True when the key was the window's.
  bool HandleKey(const MSG& message);

  void BExportarClick() { flows_.BExportarClick(); }
  void BImportarClick() { flows_.BImportarClick(); }
  // "Recuperar tablas anteriores…", in the window's system menu.
  void RecuperarClick() { flows_.RecuperarClick(); }
  const std::string& ArchivoXML() const { return flows_.ArchivoXML(); }
  // The DPI the window is drawn at.
  UINT Dpi() const { return dpi_; }
  // Where a label sits in its panel, and its font, at the window's DPI.
  RECT LabelRect(int label, HWND panel) const;
  HFONT LabelFont(int label) const;

  // The system menu's command that restores a kept copy.
  static constexpr UINT kRecuperarCommand = 0x0100;

  HWND MForm = nullptr;
  HWND Draw3D1 = nullptr, Draw3D2 = nullptr, Draw3D3 = nullptr;
  HWND BClose = nullptr, BExportar = nullptr, BImportar = nullptr;

 private:
  static TMForm* Of(HWND window, UINT message, LPARAM l);
  static LRESULT CALLBACK FormProcedure(HWND window, UINT message, WPARAM w, LPARAM l);
  static LRESULT CALLBACK PanelProcedure(HWND window, UINT message, WPARAM w, LPARAM l);
  void CreatePanels();
  void CreateButtons();
  void AddToSystemMenu();
  // Names for assistive technology: each button by its panel's action, each painted text.
  void NameForAssistiveTechnology();
  static std::wstring AccessibleText(int button);
  // Fonts, sizes and places for a DPI: at creation, and when the window moves
  // to a monitor of another scale.
  void ApplyDpi(UINT dpi);
  void Command(int id);
  void PaintPanel(HWND panel, int index);
  void DrawButton(const DRAWITEMSTRUCT& item);

  std::unique_ptr<enlazor::UiServices> ui_;
  enlazor::CommandFlows flows_;
  UINT dpi_ = 96;
  HFONT sansSerif8_ = nullptr, sansSerif8Bold_ = nullptr, arial12Bold_ = nullptr;
  HWND focused_ = nullptr;
  enlazor::win32::Annotations annotations_;
};
