// Loading the program's own store.
#include "payload/ProgramStore.h"

#include "store/StoreDescription.h"

namespace korvel {

void LoadProgramStore(TmxStorage& store) {
  ReadStoreDescription(store, ProgramStoreDescription());
}

}  // namespace korvel
