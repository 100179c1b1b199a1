// review-dump FILE.pdf: prints, as one JSON object, the review that the room
// of this environment's workspace holds for FILE (the same room and record a
// viewer started with the same environment and path uses). The end-to-end
// tests read a running viewer's work back through it, from another process.
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <variant>

#include "actions/review_store.h"
#include "app/identity.h"
#include "app/launch.h"
#include "app/pdf_app.h"
#include "velyn_ui/records/open_room.h"

namespace {

using nlohmann::json;
namespace pa = pdf_actions;

json points_json(const std::vector<pa::Point>& points) {
  json out = json::array();
  for (const auto& p : points) out.push_back({p.x, p.y});
  return out;
}

json annotation_json(const pa::Annotation& a) {
  json out{{"id", a.id}, {"page", a.page}, {"color", pa::swatch_name(a.color)}, {"author", a.author}};
  std::visit(
      [&out](const auto& g) {
        using G = std::decay_t<decltype(g)>;
        if constexpr (std::is_same_v<G, pa::AnnoGeom::Highlight>) {
          out["kind"] = "highlight";
          out["rect"] = {g.x, g.y, g.w, g.h};
        } else if constexpr (std::is_same_v<G, pa::AnnoGeom::Ink>) {
          out["kind"] = "ink";
          out["points"] = points_json(g.points);
        } else {
          out["kind"] = "note";
          out["at"] = {g.x, g.y};
        }
      },
      a.geom.value);
  return out;
}

json comment_json(const pa::Comment& c) {
  json replies = json::array();
  for (const auto& r : c.replies) replies.push_back({{"author", r.author}, {"body", r.body}});
  return {{"id", c.id},     {"anno", c.anno ? json(*c.anno) : json(nullptr)},
          {"page", c.page}, {"author", c.author},
          {"body", c.body}, {"resolved", c.resolved},
          {"replies", replies}};
}

json signature_json(const pa::Signature& s) {
  json strokes = nullptr;
  if (s.strokes) {
    strokes = json::array();
    for (const auto& stroke : *s.strokes) strokes.push_back(points_json(stroke));
  }
  return {{"id", s.id},         {"page", s.page},         {"rect", {s.x, s.y, s.w, s.h}},
          {"signer", s.signer}, {"date", s.date},         {"strokes", strokes}};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: review-dump FILE.pdf\n");
    return 2;
  }
  const auto identity = pdf_app::resolve_identity(pdf_app::process_environment(), pdf_app::kApplicationId);
  auto room = velyn_ui::persist::open_room(pdf_app::kApplicationId, identity.workspace_id);
  if (!room) {
    std::fprintf(stderr, "review-dump: %s\n", room.error().message.c_str());
    return 1;
  }
  auto document = room->records.document_for(pdf_app::record_for_path(argv[1]));
  if (!document) {
    std::fprintf(stderr, "review-dump: %s\n", document.error().message.c_str());
    return 1;
  }
  const pa::ReviewModel review = pa::read_review_model(document->get());
  json out{{"annotations", json::array()}, {"comments", json::array()}, {"signatures", json::array()}};
  for (const auto& a : review.annotations) out["annotations"].push_back(annotation_json(a));
  for (const auto& c : review.comments) out["comments"].push_back(comment_json(c));
  for (const auto& s : review.signatures) out["signatures"].push_back(signature_json(s));
  std::puts(out.dump().c_str());
  return 0;
}
