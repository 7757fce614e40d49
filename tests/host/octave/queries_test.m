## Every command-line query of both plug-ins, in one Octave session with both
## loaded, answered by the very same plug-in files as in the stand-in host: each
## answer is compared with the stand-in host's (sfsim query) field by field, and
## the checksum words also with their published values.
sfsim = getenv ("SF_SFSIM");
assert (! isempty (sfsim), "SF_SFSIM must name the sfsim program");

models = struct ("name", {"Harnvale", "Quimbrel"}, "charts", {3, 2},
                 "auto_id", {{"XeSGqLBgQKpLtif172dxxF", "XpBqFWyZSTKVy4qof7J1CF", "FiBgl2Y2MRxFUF287zST3B"}, ...
                             {"1eixTI5aZYxJ9IgkwCPkqD", "vdoADceFGKT2ubrNWpN01F"}},
                 "spec_id", {{"20X7XeZtqAT2K5zlEWRqEG", "l5enl81Qg7RF05jIfO9PlD", "hEPGkbENMS5fVY982MGn4G"}, ...
                             {"ki17hIprV1KTWkcqEkfaUD", "6RXKcD8qXw2Opagun1ox3"}});
published = struct ( ...
  "Harnvale", {{"", [2682923507, 2736407324, 1223089852, 1129152636];
                "machine", [878894993, 2496748826, 364981764, 4105591186];
                "exportedFcn", [0 0 0 0];
                "makefile", [2901930842, 2190760943, 470297699, 3589915450];
                "target", [3031367619, 4001028638, 3978939492, 838979348]}},
  "Quimbrel", {{"", [3169979126, 515553555, 3215762738, 3872717964];
                "machine", [2793627544, 638236275, 2734170511, 3705990300];
                "exportedFcn", [0 0 0 0];
                "makefile", [2287025347, 2213824637, 3447881020, 4283747939];
                "target", [3031367619, 4001028638, 3978939492, 838979348]}});

function v = stand_in (sfsim, model, args)
  words = cellfun (@(a) num2str (a, "%.17g"), args, "UniformOutput", false);
  [status, out] = system (sprintf ("'%s' query --model %s -- %s", sfsim, model,
                                   strjoin (words, " ")));
  assert (status, 0, sprintf ("sfsim query %s failed: %s", strjoin (words, " "), out));
  v = jsondecode (out);
endfunction

count = 0;
for m = models
  plugin = [m.name "_sfun"];
  queries = {};
  for row = published.(m.name)'
    if (isempty (row{1}))
      args = {"sf_get_check_sum"};
    else
      args = {"sf_get_check_sum", row{1}};
    endif
    words = feval (plugin, args{:});
    assert (isequal (words, row{2}), sprintf ("%s %s", plugin, strjoin (args, " ")));
    queries{end+1} = args;
  endfor
  for n = 0:m.charts + 1
    queries{end+1} = {"sf_get_check_sum", "chart", n};
  endfor
  for n = 1:m.charts
    queries = [queries, {{"get_autoinheritance_info", m.name, n, m.auto_id{n}}, ...
                         {"get_autoinheritance_info", m.name, n, "notTheChecksum"}, ...
                         {"get_third_party_uses_info", m.name, n, m.spec_id{n}}, ...
                         {"get_third_party_uses_info", m.name, n, m.auto_id{n}}, ...
                         {"get_updateBuildInfo_args_info", m.name, n, m.spec_id{n}}, ...
                         {"get_eml_resolved_functions_info", m.name, n}}];
  endfor
  queries{end+1} = {"get_eml_resolved_functions_info", m.name, m.charts + 1};
  for q = queries
    args = q{1};
    got = feval (plugin, args{:});
    where = sprintf ("%s(%s)", plugin, strjoin (cellfun (@(a) num2str (a), args,
                                                         "UniformOutput", false), ", "));
    same_as_json (got, stand_in (sfsim, m.name, args), where);
    count += 1;
  endfor

  ## Any other call fails as an Octave error with the plug-in's message.
  ## Texts longer than the plug-in's buffers are cut, never read past their end.
  for bad = {{"bogus"}, {"sf_get_check_sum", "bogus"}, {"sf_get_check_sum", "chart"}, ...
             {"get_autoinheritance_info", "NotTheModel", 1, m.auto_id{1}}, ...
             {["sf_get_check_sum" repmat("_", 1, 300)]}, ...
             {"get_eml_resolved_functions_info", [m.name repmat("x", 1, 300)], 1}}
    args = bad{1};
    try
      feval (plugin, args{:});
      error ("test:noError", "%s(%s) did not fail", plugin, args{1});
    catch err
      assert (err.message, [plugin ": Unsuccessful command."]);
    end_try_catch
  endfor

  ## A chart number with no value to read (a cell, a struct, an empty array or
  ## text) stops the call with an error, in Octave as in the stand-in host (its
  ## engine test MatlabLevelChartNumbersOfEveryKind holds the same rows); a number
  ## of any class, or a text, is read as its first value: the chart whose words
  ## answer (0 for none), or -1 for a refusal.
  chart_numbers = {{}, -1; struct(), -1; struct("a", {}), -1; [], -1; zeros(1, 0), -1;
                   "", -1; "ab", 0; int8(2), 2; true, 1; 2.9, 2};
  for k = 1:rows (chart_numbers)
    want = "raised";  # a refusal: the call raises, no words at all
    if (chart_numbers{k, 2} == 0)
      want = zeros (1, 4);
    elseif (chart_numbers{k, 2} > 0)
      want = feval (plugin, "sf_get_check_sum", "chart", chart_numbers{k, 2});
    endif
    try
      got = feval (plugin, "sf_get_check_sum", "chart", chart_numbers{k, 1});
    catch err
      got = "raised";
    end_try_catch
    assert (isequal (got, want), sprintf ("%s, chart number row %d", plugin, k));
  endfor

  ## Queries take no lock; sf_mex_unlock leaves the plug-in unlocked and working.
  assert (mislocked (plugin), false);
  feval (plugin, "sf_mex_unlock");
  assert (mislocked (plugin), false);
  assert (feval (plugin, "sf_get_check_sum", "machine"), published.(m.name){2, 2});
endfor
## Both plug-ins were loaded side by side all along.
maps = fileread ("/proc/self/maps");
for plugin = {"Harnvale_sfun.mex", "Quimbrel_sfun.mex"}
  assert (! isempty (strfind (maps, plugin{1})), [plugin{1} " is not loaded"]);
endfor
printf ("%d queries agree with the stand-in host\n", count);
