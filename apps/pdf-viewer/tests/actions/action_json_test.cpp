// The JSON form of every action and operation variant, byte for byte, and the
// strictness of the reader.
#include "actions/action_json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

namespace pdf_actions {
namespace {

using A = PdfViewerAction;
using O = PdfOperation;

const std::string kHash(64, 'a');
const ImportedPage kImported{kHash, "pdf", 2, 612000, 792000};
const std::string kImportedJson =
    R"({"hash":")" + kHash + R"(","kind":"pdf","page":2,"width_milli":612000,"height_milli":792000})";

struct ActionCase {
  const char* name;
  PdfViewerAction action;
  std::string json;
};

std::vector<ActionCase> action_cases() {
  return {
      {"duplicate", A::DuplicatePagePlan{"source-1", "page-x", 1, std::nullopt},
       R"({"DuplicatePagePlan":{"id":"source-1","new_id":"page-x","source_page":1,"imported":null}})"},
      {"duplicate_imported", A::DuplicatePagePlan{"import-1", "page-y", 3, kImported},
       R"({"DuplicatePagePlan":{"id":"import-1","new_id":"page-y","source_page":3,"imported":)" + kImportedJson +
           "}}"},
      {"import_after_null", A::ImportPages{std::nullopt, {PagePlanEntry{"import-a", 1, kImported}}},
       R"({"ImportPages":{"after_id":null,"pages":[{"id":"import-a","source_page":1,"imported":)" + kImportedJson +
           "}]}}"},
      {"import_after", A::ImportPages{"source-2", {}}, R"({"ImportPages":{"after_id":"source-2","pages":[]}})"},
      {"delete_page", A::DeletePagePlan{"source-2"}, R"({"DeletePagePlan":{"id":"source-2"}})"},
      {"move_front", A::MovePagePlan{"source-3", std::nullopt},
       R"({"MovePagePlan":{"id":"source-3","after_id":null}})"},
      {"move_after", A::MovePagePlan{"source-3", "source-1"},
       R"({"MovePagePlan":{"id":"source-3","after_id":"source-1"}})"},
      {"highlight", A::AddAnnotation{"a1", 2, AnnoGeom::Highlight{10.5, 20, 0.1, 1e21}, "green", "Ann"},
       R"({"AddAnnotation":{"id":"a1","page":2,"geom":{"Highlight":{"x":10.5,"y":20,"w":0.1,"h":1e+21}},"color":"green","author":"Ann"}})"},
      {"ink", A::AddAnnotation{"a2", 1, AnnoGeom::Ink{{{1, 2}, {3.25, -4}}}, "pink", "Bo"},
       R"({"AddAnnotation":{"id":"a2","page":1,"geom":{"Ink":{"points":[[1,2],[3.25,-4]]}},"color":"pink","author":"Bo"}})"},
      {"note_geom", A::AddAnnotation{"a3", 1, AnnoGeom::Note{5, 6}, "blue", ""},
       R"({"AddAnnotation":{"id":"a3","page":1,"geom":{"Note":{"x":5,"y":6}},"color":"blue","author":""}})"},
      {"set_color", A::SetAnnotationColor{"a1", "purple"}, R"({"SetAnnotationColor":{"id":"a1","color":"purple"}})"},
      {"set_position", A::SetAnnotationPosition{"a1", 0.30000000000000004, -0.0},
       R"({"SetAnnotationPosition":{"id":"a1","x":0.30000000000000004,"y":-0}})"},
      {"delete_annotation", A::DeleteAnnotation{"a1"}, R"({"DeleteAnnotation":{"id":"a1"}})"},
      {"create_note_negative", A::CreateNote{"n1", "c1", 4, 1.5, 2.5, "yellow", "You", -7, "hi \"there\"\n"},
       R"({"CreateNote":{"anno_id":"n1","comment_id":"c1","page":4,"x":1.5,"y":2.5,"color":"yellow","author":"You","created":-7,"body":"hi \"there\"\n"}})"},
      {"set_body", A::SetCommentBody{"c1", "caf\xc3\xa9 \x01"}, "{\"SetCommentBody\":{\"id\":\"c1\",\"body\":\"caf\xc3\xa9 \\u0001\"}}"},
      {"resolve", A::SetCommentResolved{"c1", true}, R"({"SetCommentResolved":{"id":"c1","resolved":true}})"},
      {"reply", A::AddReply{"c1", "r1", "Cy", "ok"},
       R"({"AddReply":{"comment_id":"c1","id":"r1","author":"Cy","body":"ok"}})"},
      {"delete_comment", A::DeleteComment{"c1"}, R"({"DeleteComment":{"id":"c1"}})"},
      {"typed_signature", A::AddSignature{"s1", 1, 10, 20, 180, 56, "Dee", "2024-05-06", std::nullopt},
       R"({"AddSignature":{"id":"s1","page":1,"x":10,"y":20,"w":180,"h":56,"signer":"Dee","date":"2024-05-06","strokes":null}})"},
      {"drawn_signature",
       A::AddSignature{"s2", 2, 0, 0, 1, 1, "Eve", "1970-01-01", std::vector<Stroke>{{{0.5, 0.25}}, {}}},
       R"({"AddSignature":{"id":"s2","page":2,"x":0,"y":0,"w":1,"h":1,"signer":"Eve","date":"1970-01-01","strokes":[[[0.5,0.25]],[]]}})"},
      {"delete_signature", A::DeleteSignature{"s1"}, R"({"DeleteSignature":{"id":"s1"}})"},
  };
}

TEST(ActionJson, EveryVariantHasItsExactTextAndRoundTrips) {
  std::vector<bool> seen(kViewerActionVariants, false);
  for (const auto& c : action_cases()) {
    SCOPED_TRACE(c.name);
    seen[c.action.value.index()] = true;
    auto encoded = encode_action(c.action);
    ASSERT_TRUE(encoded) << encoded.error().text();
    EXPECT_EQ(encoded->kind, "pdf_viewer.action");
    EXPECT_EQ(encoded->json, c.json);
    auto decoded = decode_action(encoded->json);
    ASSERT_TRUE(decoded) << decoded.error().text();
    EXPECT_EQ(*decoded, c.action);
  }
  for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_TRUE(seen[i]) << kViewerActionNames[i] << " untested";
}

TEST(ActionJson, EveryOperationHasItsExactTextAndRoundTrips) {
  const std::vector<std::pair<PdfOperation, std::string>> cases = {
      {O::PreviousPage{}, R"("PreviousPage")"},
      {O::NextPage{}, R"("NextPage")"},
      {O::ZoomIn{}, R"("ZoomIn")"},
      {O::ZoomOut{}, R"("ZoomOut")"},
      {O::FitPage{}, R"("FitPage")"},
      {O::FitWidth{}, R"("FitWidth")"},
      {O::ToggleSidebar{}, R"("ToggleSidebar")"},
      {O::ToggleRail{}, R"("ToggleRail")"},
      {O::OpenSearch{}, R"("OpenSearch")"},
      {O::GoToPage{7}, R"({"GoToPage":{"page":7}})"},
      {O::GoToSearchResult{"word", true, false, 3, 9},
       R"({"GoToSearchResult":{"query":"word","whole_word":true,"case_sensitive":false,"index":3,"page":9}})"},
      {O::Open{std::nullopt}, R"({"Open":{"path":null}})"},
      {O::Open{"/tmp/a.pdf"}, R"({"Open":{"path":"/tmp/a.pdf"}})"},
      {O::SaveAs{std::nullopt}, R"({"SaveAs":{"path":null}})"},
  };
  std::vector<bool> seen(kOperationVariants, false);
  for (const auto& [op, json] : cases) {
    SCOPED_TRACE(json);
    seen[op.value.index()] = true;
    auto encoded = encode_operation(op);
    ASSERT_TRUE(encoded);
    EXPECT_EQ(encoded->kind, "pdf_viewer.operation");
    EXPECT_EQ(encoded->json, json);
    auto decoded = decode_operation(json);
    ASSERT_TRUE(decoded) << decoded.error().text();
    EXPECT_EQ(*decoded, op);
  }
  for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_TRUE(seen[i]) << kOperationNames[i] << " untested";
}

TEST(ActionJson, RecordsOnTheirOwn) {
  EXPECT_EQ(to_json(kImported).value(), kImportedJson);
  EXPECT_EQ(to_json(PagePlanEntry{"source-1", 1, std::nullopt}).value(),
            R"({"id":"source-1","source_page":1,"imported":null})");
  EXPECT_EQ(to_json(AnnoGeom{AnnoGeom::Note{1, 2}}).value(), R"({"Note":{"x":1,"y":2}})");
  EXPECT_EQ(decode_imported_page(kImportedJson).value(), kImported);
  EXPECT_EQ(decode_page_plan_entry(R"({"imported":null,"source_page":4,"id":"x"})").value(),
            (PagePlanEntry{"x", 4, std::nullopt}));
}

TEST(ActionJson, NonFiniteFloatsAreWrittenAsNullAndThenRejected) {
  for (double bad : {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
    auto encoded = encode_action(A::SetAnnotationPosition{"a", bad, 1});
    ASSERT_TRUE(encoded);
    EXPECT_EQ(encoded->json, R"({"SetAnnotationPosition":{"id":"a","x":null,"y":1}})");
    auto decoded = decode_action(encoded->json);
    ASSERT_FALSE(decoded);
    EXPECT_EQ(decoded.error().reason, velyn_actions::ActionErrorKind::Decode);
    EXPECT_EQ(decoded.error().kind, "pdf_viewer.action");
    EXPECT_EQ(decoded.error().message, "SetAnnotationPosition.x must be a number");
  }
}

TEST(ActionJson, InvalidUtf8IsAnEncodeErrorNotBrokenText) {
  auto encoded = encode_action(A::DeleteAnnotation{"\xff"});
  ASSERT_FALSE(encoded);
  EXPECT_EQ(encoded.error().reason, velyn_actions::ActionErrorKind::Encode);
  EXPECT_FALSE(encode_operation(O::Open{"/tmp/\xc3("}));
}

TEST(ActionJson, ReaderAcceptsReorderedUnknownAndMissingOptionalMembers) {
  const std::vector<std::pair<std::string, PdfViewerAction>> cases = {
      {R"({"MovePagePlan":{"after_id":"b","id":"a"}})", A::MovePagePlan{"a", "b"}},
      {R"({"MovePagePlan":{"id":"a"}})", A::MovePagePlan{"a", std::nullopt}},
      {R"({"MovePagePlan":{"id":"a","future":{"x":[1,2]}}})", A::MovePagePlan{"a", std::nullopt}},
      {R"( { "SetAnnotationPosition" : { "id" : "a" , "x" : 3 , "y" : -2.5e0 } } )",
       A::SetAnnotationPosition{"a", 3, -2.5}},
      {R"({"AddSignature":{"id":"s","page":1,"x":0,"y":0,"w":1,"h":1,"signer":"","date":""}})",
       A::AddSignature{"s", 1, 0, 0, 1, 1, "", "", std::nullopt}},
      {R"({"CreateNote":{"anno_id":"n","comment_id":"c","page":1,"x":0,"y":0,"color":"","author":"","created":-9223372036854775808,"body":""}})",
       A::CreateNote{"n", "c", 1, 0, 0, "", "", std::numeric_limits<std::int64_t>::min(), ""}},
  };
  for (const auto& [json, expected] : cases) {
    SCOPED_TRACE(json);
    auto decoded = decode_action(json);
    ASSERT_TRUE(decoded) << decoded.error().text();
    EXPECT_EQ(*decoded, expected);
  }
}

TEST(ActionJson, ReaderRejectsWithTheParsersMessage) {
  struct Case {
    std::string json;
    std::string message;  // exact, or a prefix when it ends in '*'
  };
  const std::vector<Case> cases = {
      {R"({"DeleteAnnotation":{"id":"a","id":"b"}})", R"(repeated member "id")"},
      {R"({"DeleteAnnotation":{}})", R"(missing member "id" in DeleteAnnotation)"},
      {R"({"DeleteAnnotation":{"id":null}})", R"(DeleteAnnotation.id must be a string)"},
      {R"({"RemoveEverything":{"id":"a"}})", R"(unknown variant "RemoveEverything" in action)"},
      {R"("DeleteAnnotation")", "DeleteAnnotation has fields and must be written as an object"},
      {R"({"DeleteAnnotation":{"id":"a"},"DeleteSignature":{"id":"b"}})",
       "action must be a variant name or an object with exactly one member"},
      {R"([1])", "action must be a variant name or an object with exactly one member"},
      {R"({"DeletePagePlan":"x"})", "DeletePagePlan must be an object"},
      {R"({"GoToPage":{"page":1}})", R"(unknown variant "GoToPage" in action)"},
      {R"({"AddAnnotation":{"id":"a","page":-1,"geom":"Note","color":"","author":""}})",
       "AddAnnotation.page must be a non-negative integer"},
      {R"({"AddAnnotation":{"id":"a","page":1.0,"geom":{"Note":{"x":0,"y":0}},"color":"","author":""}})",
       "AddAnnotation.page must be a non-negative integer"},
      {R"({"AddAnnotation":{"id":"a","page":1,"geom":{"Note":{"x":0}},"color":"","author":""}})",
       R"(missing member "y" in Note)"},
      {R"({"AddAnnotation":{"id":"a","page":1,"geom":{"Ink":{"points":[[1,2,3]]}},"color":"","author":""}})",
       "Ink.points must be a pair of numbers"},
      {R"({"ImportPages":{"pages":[{"id":"i","source_page":1,"imported":{"hash":"","kind":"pdf","page":1,"width_milli":4294967296,"height_milli":1}}]}})",
       "*width_milli is out of range"},
      {R"({"CreateNote":{"anno_id":"n","comment_id":"c","page":1,"x":0,"y":0,"color":"","author":"","created":9223372036854775808,"body":""}})",
       "CreateNote.created is out of range"},
      {R"({"SetAnnotationPosition":{"id":"a","x":1e999,"y":0}})", "[json.exception.out_of_range.406] number overflow parsing '1e999'"},
      {R"({"DeleteAnnotation":{"id":"a"})",
       "[json.exception.parse_error.101] parse error at line 1, column 31: syntax error while parsing object - "
       "unexpected end of input; expected '}'"},
      {R"({"DeleteAnnotation":{"id":"a"}} x)", "[json.exception.parse_error*"},
      {"", "[json.exception.parse_error*"},
      {std::string(40, '[') + std::string(40, ']'), "nesting deeper than 32"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    auto decoded = decode_action(c.json);
    ASSERT_FALSE(decoded);
    EXPECT_EQ(decoded.error().reason, velyn_actions::ActionErrorKind::Decode);
    EXPECT_EQ(decoded.error().kind, "pdf_viewer.action");
    const std::string& m = decoded.error().message;
    if (c.message.back() == '*') {
      const std::string stem = c.message.substr(0, c.message.size() - 1);
      if (stem.front() == '*') EXPECT_TRUE(m.ends_with(stem.substr(1))) << m;
      else EXPECT_TRUE(m.starts_with(stem)) << m;
    } else if (c.message.front() == '*') {
      EXPECT_TRUE(m.ends_with(c.message.substr(1))) << m;
    } else {
      EXPECT_EQ(m, c.message);
    }
    EXPECT_EQ(decoded.error().text(), "decoding pdf_viewer.action: " + m);
  }
}

TEST(ActionJson, OperationReaderIsStrictToo) {
  EXPECT_EQ(decode_operation(R"("Launch")").error().message, R"(unknown variant "Launch" in operation)");
  EXPECT_EQ(decode_operation(R"({"NextPage":{}})").error().message,
            "NextPage takes no fields and is written as a string");
  EXPECT_EQ(decode_operation(R"({"GoToPage":{"page":-3}})").error().message,
            "GoToPage.page must be a non-negative integer");
  EXPECT_EQ(decode_operation(R"({"Open":{}})").value(), PdfOperation(O::Open{std::nullopt}));
}

TEST(ActionJson, ShortestFloatTextReadsBackExactly) {
  for (double v : {0.1, 1.0 / 3.0, 123456789.125, 5e-324, 1.7976931348623157e308, -2.5}) {
    const std::string text = shortest_float_text(v);
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), v) << text;
  }
  EXPECT_EQ(shortest_float_text(100), "100");
}

}  // namespace
}  // namespace pdf_actions
