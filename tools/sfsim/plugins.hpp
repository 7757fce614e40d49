// The models sfsim knows (the build's list of models), their charts, and where
// their plug-ins are found.
#pragma once

#include <string>
#include <vector>

#include "host/engine.hpp"
#include "models/catalogue_view.hpp"

namespace sfsim {

// A model as the build's list describes it (name, plug-in file, checksum, charts).
using ModelInfo = models::ModelView;

const std::vector<ModelInfo>& models();

// The models' names joined for a sentence: "A or B", "A, B or C" (`last` is the
// last joiner, " or " or " and "); their deliverables' names instead with
// `deliverables`.
std::string model_names(const char* last, bool deliverables = false);
// The models' chart ranges, "A 1..3, B 1..2".
std::string chart_ranges();
// A chart's position among every chart of every model, from 1.
int chart_index(const ModelInfo& model, int chart);

// The model of that name; UserError for any other.
const ModelInfo& find_model(const std::string& name);

// Table length of a chart; UserError for a chart the model does not have.
int table_length(const ModelInfo& model, int chart);

// The plug-in file of a model: the file `given` names when not empty (a bare name is
// a file in the working folder), else <Model>_sfun beside the sfsim program or in
// ../lib from it (the build's bin/ and lib/, or an installed tree: no path of the
// machine that built it is kept in the program).
std::string plugin_path(const ModelInfo& model, const std::string& given);

// Loads the plug-in of `model`; UserError when the file is missing, is no plug-in,
// cannot be loaded, or holds the plug-in of another model (the model is told by the
// checksum the plug-in answers, whatever the file is called).
host::engine::Plugin& load_plugin(host::engine::Engine& engine, const std::string& path,
                                  const ModelInfo& model);

}  // namespace sfsim
