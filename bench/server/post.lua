-- wrk script: POST submissions spread over 500 processor names, both kinds.
local counter = 0
wrk.method = "POST"
wrk.headers["Content-Type"] = "application/json"
wrk.headers["User-Agent"] = "Strelvik/1.4"

request = function()
  counter = counter + 1
  local cpu = counter % 500
  local body
  if counter % 2 == 0 then
    body = string.format('{"cpu_name":"Load CPU %d","score":%d,"threads":1,"type":"single"}', cpu, 1000 + counter % 97)
  else
    body = string.format('{"cpu_name":"Load CPU %d","score":%d,"threads":16,"type":"multi"}', cpu, 8000 + counter % 89)
  end
  return wrk.format(nil, "/api.php", nil, body)
end
