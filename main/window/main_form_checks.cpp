// The queue's context menu: a dry run of insertion, and the round-trip check.
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>

#include "formathandlers/image/png_codec.h"
#include "main/batch_driver.h"
#include "main/format_registry.h"
#include "main/verify.h"
#include "main/window/main_form.h"
#include "main/window/window_settings.h"
#include "misc/errors.h"

namespace tessary {

const std::vector<WindowOption> kWindowOptions = {
    {"Bitmaps as PNG", "options/bitmapsAsPng", &ProcessContext::BitmapsAsPng, PngSupported},
    {"Transparency: colour 0x0000 as transparent pixels (PNG)", "options/alpha",
     &ProcessContext::Alpha, PngSupported},
    {"Keep STP bits of unchanged 16-bit pixels", "options/keepStp", &ProcessContext::KeepStp},
    {"Compress edited archive entries (unedited ones are carried over)", "options/compressEntries",
     &ProcessContext::CompressEntries},
    {"Relative paths in result logs and project lists (projects that move)",
     "options/relativePaths", &ProcessContext::RelativePaths},
    {"Extract ARD text so that it can be inserted", "options/ardInsertable",
     &ProcessContext::ArdInsertable},
    {"Lenient TIM search (odd block lengths, flags and 24-bit layouts)", "options/lenientSearch",
     &ProcessContext::LenientSearch},
};

QMenu* TMainForm::QueueMenu() {
  auto* menu = new QMenu(this);
  const bool logs = IsLogQueue(context_->FormatIndex);
  QAction* action = logs ? menu->addAction("Check insertion (nothing is written)")
                         : menu->addAction("Verify round trip");
  action->setEnabled(!context_->Queue.empty() && !batchRunning_);
  connect(action, &QAction::triggered, this, [this, logs] {
    if (logs)
      CheckInsertionClick();
    else
      VerifyRoundTripClick();
  });
  // The remembered additions: off unless chosen.
  menu->addSeparator();
  for (const WindowOption& option : kWindowOptions) {
    QAction* item = menu->addAction(option.label);
    item->setCheckable(true);
    item->setChecked(context_.get()->*option.member);
    item->setEnabled(option.available());
    connect(item, &QAction::toggled, this, [this, &option](bool on) {
      context_.get()->*option.member = on;
      WindowSettings::SetOption(option.key, on);
    });
  }
  menu->addSeparator();
  connect(menu->addAction("About Tessary"), &QAction::triggered, this, [this] { ShowAbout(); });
  return menu;
}

// The version, as the package and the zip are named.
void TMainForm::ShowAbout() {
  QMessageBox::about(this, "About Tessary",
                     "<b>Tessary " TESSARY_VERSION
                     "</b><p>Takes Grimhold 3 data apart into files "
                     "that ordinary editors can change, and puts the edited files back.</p>");
}

// The batch of logs with every check of insertion and no write; its result
// lines end in " (dry run)".
void TMainForm::CheckInsertionClick() {
  RunLikeABatch([this] {
    context_->DryRun = true;
    RunBatch(*context_, ErrorEcho::DialogAndResults);
    context_->DryRun = false;
  });
}

// Asks for the output directory (and a code table where the format needs
// one) as a batch does, then extracts, replays and compares in a temporary
// folder there.
void TMainForm::VerifyRoundTripClick() {
  RunLikeABatch([this] {
    ProcessContext& ctx = *context_;
    const auto directory = dialogs_.ChooseDirectory(ctx.OutputDirectory);
    if (!directory) return;
    std::optional<std::string> table;
    if (RowOfIndex(ctx.FormatIndex)->needsCodeTable) {
      table = dialogs_.ChooseCodeTable();
      if (!table) return;
    }
    ctx.Status.ClearResults();
    ctx.OutputDirectory = *directory;
    try {
      const bool identical = VerifyRoundTrip(ctx, ctx.FileTypeChoice, ctx.Queue, table);
      ctx.Status.SetCurrentMessage("");
      dialogs_.ShowInformation(identical ? "Every file round-trips." : "Some files differ.",
                               "Verify round trip");
    } catch (const std::exception& error) {
      dialogs_.ShowError(WithFullStop(error.what()));
    }
    ctx.Status.SetSaveLogEnabled(!ctx.Status.Results().empty());
  });
}

}  // namespace tessary
