## sfblock's 'coverage' report: its figures against what Octave computes of the
## same run, byte for byte the report sfsim writes of that run, the report of a run
## that fails at its first step, and the option's refusals.
x = (0:242) / 10;
y = x .^ 2;
z = [3 -1 NaN 25 7.55];
d = tempname ();
mkdir (d);
unwind_protect
  f = fullfile (d, "cov.json");
  y1 = sfblock ("Harnvale", 3, x, y, z, "coverage", f, "blocks", 2);
  r = jsondecode (fileread (f));
  assert (r.model, "Harnvale");
  assert (r.table.x, [0; 24.2]);
  assert (numel (r.blocks), 2);
  for k = 1:2
    b = r.blocks(k);
    assert (b.block, k);
    assert (b.steps, 5);
    assert (b.xFunction.name, "eML_blk_kernel");
    assert (b.xFunction.calls, 5);
    assert ([b.lines.x3, b.lines.x_3], [5 5]);
    assert (isempty (fieldnames (b.errors)));
    seen = {"x", x, 5; "y", y, 5; "z", z, 1; "y1", y1, 1};
    for i = 1:rows (seen)
      [name, v, steps] = seen{i, :};
      item = b.data.(name);
      assert ([item.min, item.max], [min(v), max(v)], 0);
      assert ([item.nan, item.checks], [sum(isnan (v)), numel(v)] * steps);
    endfor
  endfor

  ## The same run through sfsim: the same report.
  table = fullfile (d, "table.csv");
  fid = fopen (table, "w");
  fprintf (fid, "%.17g,%.17g\n", [x; y]);
  fclose (fid);
  queries = fullfile (d, "z.txt");
  fid = fopen (queries, "w");
  fprintf (fid, "%.17g\n", z);
  fclose (fid);
  g = fullfile (d, "sfsim.json");
  [status, out] = system (sprintf ("'%s' run --model Harnvale --chart 3 --table '%s' --z '%s' --blocks 2 --coverage '%s'",
                                   getenv ("SF_SFSIM"), table, queries, g));
  assert (status, 0, out);
  assert (fileread (f), fileread (g));

  ## A NaN breakpoint: the step raises, and the report says so.
  xn = x;
  xn(13) = NaN;
  j = fullfile (d, "fail.json");
  id = "";
  try
    sfblock ("Harnvale", 3, xn, y, [0 1], "coverage", j);
  catch err
    id = err.identifier;
  end_try_catch
  assert (id, "MATLAB:interp1:NaNinX");
  b = jsondecode (fileread (j)).blocks;
  assert (b.steps, 1);
  assert (b.errors.MATLAB_interp1_NaNinX, 1);
  assert (b.lines.x3, 1);
  assert (! isfield (b.lines, "x_3"));
  assert ([b.data.x.nan, b.data.x.checks, b.data.y1.checks], [1 243 0]);
  ## Refused before anything runs, and no file made.
  bad = {"", "sfblock: option 'coverage' needs a file name";
         "cov.txt", "sfblock: option 'coverage' 'cov.txt' does not end in .json or .html: the coverage report is written as JSON or HTML only";
         fullfile(d, "none", "c.json"), ["sfblock: option 'coverage': " fullfile(d, "none", "c.json") ": cannot write the file"]};
  for i = 1:rows (bad)
    msg = "";
    try
      sfblock ("Harnvale", 3, x, y, 1, "coverage", bad{i, 1});
    catch err
      assert (err.identifier, "sfblock:option");
      msg = err.message;
    end_try_catch
    assert (strncmp (msg, bad{i, 2}, numel (bad{i, 2})), "%s", msg);
  endfor
  assert (numel (dir (d)), 2 + 5);
unwind_protect_cleanup
  confirm_recursive_rmdir (false, "local");
  rmdir (d, "s");
end_unwind_protect
