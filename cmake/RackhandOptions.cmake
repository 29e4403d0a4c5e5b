# Shared build settings: every target links rackhand_options.
add_library(rackhand_options INTERFACE)
target_compile_features(rackhand_options INTERFACE cxx_std_20)
target_compile_options(rackhand_options INTERFACE -Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Woverloaded-virtual)
target_compile_definitions(rackhand_options INTERFACE QT_NO_CONTEXTLESS_CONNECT QT_NO_KEYWORDS
  RACKHAND_VERSION="${PROJECT_VERSION}")
if(RACKHAND_WERROR)
  target_compile_options(rackhand_options INTERFACE -Werror)
endif()

# The include roots: every project include names its layer ("catalogue/PluginDatabase.h",
# "Platform/Paths.h", "MakeDemoTree/DemoTree.h"); tests add Tests/ for their fixtures.
target_include_directories(rackhand_options INTERFACE
  ${PROJECT_SOURCE_DIR}/Sources ${PROJECT_SOURCE_DIR}/Sources/PluginManager ${PROJECT_SOURCE_DIR}/Tools)
