#pragma once
// What the viewer keeps about its file operations: the outstanding picker
// requests, the save and the import waiting for the worker, and the operation
// host's pending operation and uncollected result. UI thread only.
//
// Invariants:
// - at most one picker of each kind, one save, one import and one host
//   operation exist at a time;
// - a host result is stored only by completing the pending host operation,
//   under that operation's identifier, and is handed out once.
// Host operation: none → (Open or SaveAs started) pending → (completed, or
// cancelled by the host) none. Host result: none → waiting → (collected) none.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "docstore/document.h"
#include "source/source_protocol.h"
#include "velyn_ui/portal/pick_request.h"

namespace pdf_app {

// The host's identifier of one operation: 128 bits, compared as two halves.
struct OperationId {
  std::uint64_t high = 0;
  std::uint64_t low = 0;
  friend bool operator==(const OperationId&, const OperationId&) = default;
};

enum class HostOperationKind { Open, Save };

struct PendingHostOperation {
  OperationId id;
  HostOperationKind kind = HostOperationKind::Open;
};

// What start_operation answers.
struct StartResult {
  enum class Kind { NotHandled, Completed, Pending, Failed };
  Kind kind = Kind::NotHandled;
  std::string message;  // Failed only
  friend bool operator==(const StartResult&, const StartResult&) = default;
};

// What poll_operation hands back once an operation has ended.
struct CollectResult {
  enum class Kind { Completed, Cancelled, Failed };
  Kind kind = Kind::Completed;
  std::string code;     // Failed only: kPortalFailedCode
  std::string message;  // Cancelled and Failed
  friend bool operator==(const CollectResult&, const CollectResult&) = default;
};

// What apply_operation answers.
struct ApplyResult {
  enum class Kind { NotHandled, Handled, Failed };
  Kind kind = Kind::NotHandled;
  std::string message;  // Failed only
  friend bool operator==(const ApplyResult&, const ApplyResult&) = default;
};

struct HostResult {
  OperationId id;
  CollectResult result;
};

// An import submitted to the worker and not answered yet.
struct PendingImport {
  pdf::source::RequestId request_id = 0;
  std::string path;
  pdf::source::RasterDocumentId document = 0;
  std::uint64_t current_page = 0;        // from 1 when the import started; 0: none
  std::optional<std::string> anchor_id;  // the plan entry the pages go after
};

struct FileOperationsState {
  std::optional<velyn_ui::portal::PickReceiver> open_picker;
  std::optional<velyn_ui::portal::PickReceiver> save_picker;
  std::optional<velyn_ui::portal::PickReceiver> import_picker;

  // A save the user asked for is not finished: sent to the worker, or its
  // destination chosen in the save picker and not yet taken by a frame.
  [[nodiscard]] bool save_under_way() const {
    return pending_save || (save_picker && save_picker->state() == velyn_ui::portal::PickReceiver::State::Ready);
  }
  // The save sent last (PrepareSave, then CommitSave), until it is answered.
  std::optional<pdf::source::SaveRequest> pending_save;
  // The shared document's heads when the pending save took its snapshot, and
  // those of the last save that completed: the review as it was exported.
  std::optional<std::vector<docstore::ChangeHash>> pending_save_heads;
  std::optional<std::vector<docstore::ChangeHash>> exported_heads;
  std::optional<PendingImport> pending_import;
  std::optional<PendingHostOperation> host_operation;
  std::optional<HostResult> host_result;
};

}  // namespace pdf_app
