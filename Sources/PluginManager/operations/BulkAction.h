#pragma once

/// The kind of a bulk request that the root view confirms and runs.
enum class BulkAction { enable, disable, delete_ };
