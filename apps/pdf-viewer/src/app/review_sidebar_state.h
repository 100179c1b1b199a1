#pragma once
// The review sidebar's state: tab, scroll, reveal, the hit list of the last
// frame and the one open text editor. UI thread only.
//
// Invariants: at most one editor is open; the hit list always describes the
// last frame drawn; switching tabs resets the scroll and drops a reveal.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "velyn_ui/geometry.h"
#include "velyn_ui/widget/text_input.h"

namespace pdf_app {

enum class SidebarTab : std::uint8_t { Comments = 0, Contents = 1, Signatures = 2 };

enum class SidebarHitKind : std::uint8_t {
  Tab = 0,
  GoToPage = 1,
  ThreadHeader = 2,
  ThreadBody = 3,
  ReplyLink = 4,
  ResolveChip = 5,
  DeleteThread = 6,
  PlaceSignature = 7,
  SignerName = 8,
  SignatureRow = 9,
  DeleteSignature = 10,
  SignatureMode = 11,
  ClearStrokes = 12,
};

struct SidebarHit {
  SidebarHitKind kind = SidebarHitKind::Tab;
  std::uint64_t number = 0;  // tab id, page number, list index or mode
  std::string id;            // thread or signature id
  velyn_ui::Rect rect;
};

enum class EditorKind : std::uint8_t { CommentBody, Reply, SignerName };

struct SidebarEditor {
  EditorKind kind = EditorKind::CommentBody;
  std::string target;  // comment id (empty for the signer name)
  velyn_ui::widget::TextInput input{velyn_ui::widget::TextInputMode::MultiLine};
};

struct SidebarState {
  SidebarTab tab = SidebarTab::Comments;
  double scroll = 0;
  std::optional<std::string> pending_reveal;
  std::vector<SidebarHit> hits;
  std::optional<SidebarEditor> editor;
};

}  // namespace pdf_app
