## same_as_json (value, json, where): fails (error) unless the Octave value is
## the value that sfsim printed as JSON for the stand-in host: same class, size,
## field names in order, texts, and numbers bit for bit. `json` is the output
## of jsondecode; `where` names the value in the message.
function same_as_json (v, j, where)
  want = j.class;
  check (strcmp (class (v), want), where, sprintf ("class %s, expected %s", class (v), want));
  sz = reshape (double (j.size), 1, []);
  check (isequal (size (v), sz), where,
         sprintf ("size %s, expected %s", mat2str (size (v)), mat2str (sz)));
  switch (want)
    case "char"
      check (isequal (double (v(:)), double (j.text(:))), where,
             sprintf ("text '%s', expected '%s'", v, j.text));
    case "struct"
      names = j.fields;
      if (ischar (names)) names = {names}; endif
      check (isstruct (v) && isequal (fieldnames (v), names(:)), where, "field names differ");
      for k = 1:numel (v)
        e = element (j.elements, k);
        for f = 1:numel (names)
          sub = sprintf ("%s(%d).%s", where, k, names{f});
          fj = [];
          if (isstruct (e) && isfield (e, names{f})) fj = e.(names{f}); endif
          if (isempty (fj))
            check (isempty (v(k).(names{f})), sub, "expected an empty field");
          else
            same_as_json (v(k).(names{f}), fj, sub);
          endif
        endfor
      endfor
    case "cell"
      for k = 1:numel (v)
        e = element (j.elements, k);
        sub = sprintf ("%s{%d}", where, k);
        if (isempty (e))
          check (isempty (v{k}), sub, "expected an empty cell");
        else
          same_as_json (v{k}, e, sub);
        endif
      endfor
    otherwise
      check (isnumeric (v) || islogical (v), where, "expected a number array");
      got = double (v(:));
      data = j.data;
      if (! iscell (data)) data = num2cell (data); endif
      check (numel (data) == numel (got), where, "element count differs");
      for k = 1:numel (got)
        d = data{k};
        if (ischar (d)) d = str2double (d); endif
        check (isequal (typecast (got(k), "uint64"), typecast (double (d), "uint64"))
               || (isnan (got(k)) && isnan (d)), where,
               sprintf ("element %d is %.17g, expected %.17g", k, got(k), d));
      endfor
  endswitch
endfunction

function e = element (list, k)
  if (iscell (list))
    e = list{k};
  else
    e = list(k);
  endif
endfunction

function check (ok, where, what)
  if (! ok)
    error ("same_as_json:differ", "%s: %s", where, what);
  endif
endfunction
