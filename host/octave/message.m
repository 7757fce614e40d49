## -*- texinfo -*-
## @deftypefn {} {@var{msg} =} message (@var{identifier})
## The message record of a message identifier: a struct with the fields
## @code{identifier} and @code{message}, ready for @code{error (@var{msg})}.
## Identifiers outside the catalogue give their identifier as the text.
## @end deftypefn
function msg = message (identifier)
  if (nargin != 1 || ! ischar (identifier) || ! (isrow (identifier) || isempty (identifier)))
    error ("message:badInput", "message: the input must be one message identifier (a text)");
  endif
  switch (identifier)
    case "MATLAB:interp1:NaNinX"
      text = "NaN is not an allowed value in the breakpoints X.";
    case "Coder:toolbox:interp1_nonMonotonicX"
      text = "The breakpoints X must be strictly monotonic.";
    otherwise
      text = identifier;
  endswitch
  msg = struct ("identifier", identifier, "message", text);
endfunction
