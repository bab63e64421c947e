unit t; { forever
end.