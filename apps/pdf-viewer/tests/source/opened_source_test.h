#pragma once
// A test fixture: a worker state that has opened a three-page numbered PDF in
// a private home, for the flatten and import tests. Skipped without PDFium.
#include <gtest/gtest.h>

#include <memory>

#include "pdf_fixtures.h"
#include "save_fixtures.h"
#include "source/pdfium_library.h"
#include "source/source_jobs.h"

namespace pdf::source::testing {

class OpenedSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    isolate_home();
    if (shared_pdfium() == nullptr) GTEST_SKIP() << "PDFium not found: set VELYN_PDFIUM_LIB to libpdfium.so";
    write_numbered_pdf(dir_ / "source.pdf", 3);
    state_ = open_state(dir_ / "source.pdf", dir_ / "blobs");
    ASSERT_NE(state_, nullptr);
  }
  WorkerDocument& doc() { return *state_->lookup_document(kClient, kDocument); }

  TempDir dir_;
  std::unique_ptr<WorkerState> state_;
};

}  // namespace pdf::source::testing
