// The packing plan: the old archive's names first, then the selected items merged in.
#include "engines/packeng/PackPlan.h"

#include <algorithm>
#include <map>

#include "engines/common/EngineCommon.h"

namespace korvel::engine {

namespace {

int ManifestRank(const std::string& name) {
  const std::string lower = ToLowerAscii(name);
  if (lower == "meta-inf/") return 0;
  if (lower == "meta-inf/manifest.mf") return 1;
  return 2;
}

}  // namespace

std::vector<PlanItem> MakePlan(zip_t* old_archive, const std::vector<SourceItem>& items,
                               bool update, bool freshen) {
  std::vector<PlanItem> plan;
  std::map<std::string, std::size_t> old_names;
  const zip_int64_t count = old_archive != nullptr ? zip_get_num_entries(old_archive, 0) : 0;
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* name = zip_get_name(old_archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
    if (name == nullptr) continue;
    old_names.emplace(name, plan.size());
    plan.push_back(PlanItem{PlanItem::Kind::kKeep, static_cast<zip_uint64_t>(i), nullptr, name});
  }
  for (const SourceItem& item : items) {
    const PlanItem::Kind kind = item.is_dir ? PlanItem::Kind::kDir : PlanItem::Kind::kFile;
    const auto old = old_names.find(item.entry_name);
    if (old == old_names.end()) {
      if (!freshen) plan.push_back(PlanItem{kind, 0, &item, item.entry_name});
      continue;
    }
    if (item.is_dir) continue;  // the folder entry is there already
    if (update || freshen) {
      zip_stat_t old_stat;
      if (zip_stat_index(old_archive, plan[old->second].index, 0, &old_stat) == 0 &&
          ToDosDateTime(item.mtime) <= ToDosDateTime(old_stat.mtime))
        continue;
    }
    plan[old->second] = PlanItem{kind, 0, &item, item.entry_name};
  }
  std::stable_sort(plan.begin(), plan.end(), [](const PlanItem& a, const PlanItem& b) {
    return ManifestRank(a.name) < ManifestRank(b.name);
  });
  return plan;
}

}  // namespace korvel::engine
