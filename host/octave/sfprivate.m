## -*- texinfo -*-
## @deftypefn  {} {@var{state} =} sfprivate ("chart_simctx_raw2high", @var{handle}, @var{raw}, @var{desc})
## @deftypefnx {} {@var{raw} =} sfprivate ("chart_simctx_high2raw", @var{state}, @var{desc})
## The chart runtime's conversions between a chart's raw saved state (a cell with
## one element per chart variable) and the saved state the host keeps (a struct
## of block handle, chart checksum and one field per variable), both guided by
## the chart's sim-state description (fields @code{chartChecksum} and
## @code{varInfo}).
## @end deftypefn
function out = sfprivate (conversion, varargin)
  if (nargin < 1 || ! ischar (conversion) || ! isrow (conversion))
    error ("Stateflow:sfprivate:BadCall",
           "sfprivate: the first input must be a text naming the conversion.");
  endif
  switch (conversion)
    case "chart_simctx_raw2high"
      if (nargin != 4)
        error ("Stateflow:sfprivate:BadCall",
               "sfprivate: 'chart_simctx_raw2high' takes 4 inputs, got %d.", nargin);
      endif
      out = raw_to_high (varargin{:});
    case "chart_simctx_high2raw"
      if (nargin != 3)
        error ("Stateflow:sfprivate:BadCall",
               "sfprivate: 'chart_simctx_high2raw' takes 3 inputs, got %d.", nargin);
      endif
      out = high_to_raw (varargin{:});
    otherwise
      error ("Stateflow:sfprivate:BadCall",
             "sfprivate: unknown conversion %s.", quoted (conversion));
  endswitch
endfunction

## The user's text as a message quotes it: at most 60 bytes, control characters
## escaped (\n, \t, \r, \xNN), "..." after a cut; the same rule as sfblock's and
## sfsim's messages (their C++ function cannot be called from here).
function s = quoted (text)
  cut = numel (text) > 60;
  text = double (text(1:min (end, 60)));
  s = "";
  for c = text
    if (c == 10)
      s = [s "\\n"];
    elseif (c == 9)
      s = [s "\\t"];
    elseif (c == 13)
      s = [s "\\r"];
    elseif (c < 32 || c == 127)
      s = [s "\\x" sprintf("%02x", c)];
    else
      s(end+1) = char (c);
    endif
  endfor
  if (cut)
    s = [s "..."];
  endif
  s = ["'" s "'"];
endfunction

function s = describe (a)
  s = sprintf ("%s[%dx%d]", class (a), rows (a), columns (a));
  if (iscomplex (a))
    s = ["complex " s];
  endif
endfunction

function tf = is_real_scalar (a, cls)
  tf = isa (a, cls) && isreal (a) && ! issparse (a) && isequal (size (a), [1 1]);
endfunction

function bad_description (what)
  error ("Stateflow:SimState:BadDescription",
         "sfprivate: invalid sim-state description: %s", what);
endfunction

function vars = read_description (d)
  if (! isstruct (d) || numel (d) != 1)
    bad_description (sprintf ("expected a 1x1 struct, got %s.", describe (d)));
  endif
  if (! isfield (d, "chartChecksum") || ! is_checksum (d.chartChecksum))
    got = "nothing";
    if (isfield (d, "chartChecksum")) got = describe (d.chartChecksum); endif
    bad_description (sprintf ("its chartChecksum must be a 1x4 real double, got %s.", got));
  endif
  if (! isfield (d, "varInfo") || ! isstruct (d.varInfo))
    got = "nothing";
    if (isfield (d, "varInfo")) got = describe (d.varInfo); endif
    bad_description (sprintf ("its varInfo must be a struct array, got %s.", got));
  endif
  info = d.varInfo;
  vars = struct ("name", {}, "type", {});
  for i = 1:numel (info)
    name = [];
    type = [];
    if (isfield (info, "name")) name = info(i).name; endif
    if (isfield (info, "type")) type = info(i).type; endif
    if (! ischar (name) || ! isvarname (name) || numel (name) > 63)
      bad_description (sprintf ("varInfo(%d).name must be a valid field name, got %s.",
                                i, describe (name)));
    endif
    if (! is_real_scalar (type, "double"))
      bad_description (sprintf ("varInfo(%d).type must be a real double scalar, got %s.",
                                i, describe (type)));
    endif
    if (any (strcmp (name, {"blockHandle", "chartChecksum"})))
      bad_description (sprintf ("the variable name '%s' is reserved.", name));
    endif
    if (any (strcmp (name, {vars.name})))
      bad_description (sprintf ("the variable '%s' is named twice.", name));
    endif
    vars(end+1) = struct ("name", name, "type", type);
  endfor
endfunction

function tf = is_checksum (a)
  tf = isa (a, "double") && isreal (a) && ! issparse (a) && isequal (size (a), [1 4]);
endfunction

function check_variable (v, value, where)
  expected = "";
  if (v.type == 1 && ! is_real_scalar (value, "double"))
    expected = "a real double scalar";
  elseif (v.type == 8 && ! is_real_scalar (value, "uint8"))
    expected = "a real uint8 scalar";
  endif
  if (! isempty (expected))
    error ("Stateflow:SimState:Mismatch", "sfprivate: %s variable '%s' must be %s, got %s.",
           where, v.name, expected, describe (value));
  endif
endfunction

function state = raw_to_high (handle, raw, desc)
  vars = read_description (desc);
  if (! is_real_scalar (handle, "double"))
    error ("Stateflow:sfprivate:BadCall",
           "sfprivate: the block handle must be a real double scalar, got %s.", describe (handle));
  endif
  if (! iscell (raw) || numel (raw) != numel (vars))
    error ("Stateflow:SimState:Mismatch",
           "sfprivate: the raw state must be a cell of %d elements, got %s.",
           numel (vars), describe (raw));
  endif
  for i = 1:numel (vars)
    check_variable (vars(i), raw{i}, "the raw state's");
  endfor
  state = struct ("blockHandle", handle, "chartChecksum", desc.chartChecksum);
  for i = 1:numel (vars)
    state.(vars(i).name) = raw{i};
  endfor
endfunction

function raw = high_to_raw (state, desc)
  vars = read_description (desc);
  if (! isstruct (state) || numel (state) != 1 || ! isfield (state, "blockHandle")
      || ! isfield (state, "chartChecksum"))
    error ("Stateflow:SimState:Mismatch",
           ["sfprivate: not a saved chart state: expected a 1x1 struct with fields " ...
            "'blockHandle' and 'chartChecksum', got %s."], describe (state));
  endif
  if (! is_checksum (state.chartChecksum))
    error ("Stateflow:SimState:Mismatch",
           "sfprivate: the saved state's chartChecksum must be a 1x4 real double, got %s.",
           describe (state.chartChecksum));
  endif
  if (! isequal (state.chartChecksum, desc.chartChecksum))
    error ("Stateflow:SimState:Mismatch",
           ["sfprivate: the state was saved from another chart: its checksum " ...
            "[%.17g %.17g %.17g %.17g] differs from this chart's [%.17g %.17g %.17g %.17g]."],
           state.chartChecksum, desc.chartChecksum);
  endif
  raw = cell (numel (vars), 1);
  for i = 1:numel (vars)
    if (! isfield (state, vars(i).name))
      error ("Stateflow:SimState:Mismatch",
             "sfprivate: the saved state has no variable '%s'.", vars(i).name);
    endif
    check_variable (vars(i), state.(vars(i).name), "the saved state's");
    raw{i} = state.(vars(i).name);
  endfor
endfunction
